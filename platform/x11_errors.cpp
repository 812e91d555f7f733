#include "platform/x11_errors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "platform/program_name.h"

namespace {

// Xlib reports an error on the thread whose call met it, and only the display's own
// thread makes X calls, so one thread at a time touches these.
struct XErrors {
    Display* expecting;     // the connection whose errors are recorded, for now
    int expectedError;      // its first error since the caller last took one
    bool fault;             // an error on any other connection
    Display* faultDisplay;
    XErrorEvent faultEvent;
};

XErrors gErrors;

// Xlib calls this for every error reply; no request may be made from here, so a fault
// is only recorded, and reported once the call that caused it has returned.
int onXError(Display* display, XErrorEvent* event) {
    if (display == gErrors.expecting) {
        if (gErrors.expectedError == Success) {
            gErrors.expectedError = event->error_code;
        }
    } else if (!gErrors.fault) {
        gErrors.fault = true;
        gErrors.faultDisplay = display;
        gErrors.faultEvent = *event;
    }
    return 0;
}

void writeLine(const char* text) {
    char line[400];
    const int length = std::snprintf(line, sizeof line, "%s: %s\n", programName(), text);
    [[maybe_unused]] const ssize_t written =
        write(STDERR_FILENO, line, static_cast<std::size_t>(std::min<int>(length, sizeof line - 1)));
}

// The server went away under the program. Xlib cannot go on after this handler, and
// with the server gone there is no mode left to give back.
int onLostServer(Display*) {
    writeLine("lost the display: the X server closed the connection");
    _exit(1);
}

// The request's name as Xlib's error database knows it ("X_ConfigureWindow", or for an
// extension "RRGetCrtcInfo"), with its extension's name and opcodes.
void describeRequest(Display* display, const XErrorEvent& event, char* text, std::size_t size) {
    char key[64];
    char name[128] = "";
    char extension[64] = "";
    if (event.request_code < 128) {
        std::snprintf(key, sizeof key, "%d", event.request_code);
        XGetErrorDatabaseText(display, "XRequest", key, "", name, sizeof name);
        std::snprintf(text, size, "%s (%d)", name[0] != 0 ? name : "core request", event.request_code);
        return;
    }
    int count = 0;
    char** extensions = XListExtensions(display, &count);
    for (int i = 0; i < count && extension[0] == 0; ++i) {
        int major = 0, firstEvent = 0, firstError = 0;
        if (XQueryExtension(display, extensions[i], &major, &firstEvent, &firstError) && major == event.request_code) {
            std::snprintf(extension, sizeof extension, "%s", extensions[i]);
        }
    }
    if (extensions != nullptr) {
        XFreeExtensionList(extensions);
    }
    std::snprintf(key, sizeof key, "%s.%d", extension, event.minor_code);
    XGetErrorDatabaseText(display, "XRequest", key, "", name, sizeof name);
    std::snprintf(text, size, "%s %s (%d.%d)", extension[0] != 0 ? extension : "extension",
                  name[0] != 0 ? name : "request", event.request_code, event.minor_code);
}

} // namespace

void handleXErrors() {
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onLostServer);
}

void expectXErrors(Display* display) {
    gErrors.expecting = display;
    gErrors.expectedError = Success;
}

void stopExpectingXErrors() { gErrors.expecting = nullptr; }

int takeXError(Display* display) {
    XSync(display, False);
    const int error = gErrors.expectedError;
    gErrors.expectedError = Success;
    return error;
}

void endOnXFault() {
    if (!gErrors.fault) {
        return;
    }
    char request[200];
    char error[160];
    describeRequest(gErrors.faultDisplay, gErrors.faultEvent, request, sizeof request);
    XGetErrorText(gErrors.faultDisplay, gErrors.faultEvent.error_code, error, sizeof error);
    char text[400];
    std::snprintf(text, sizeof text, "the X server refused a request: %s: %s", request, error);
    writeLine(text);
    _exit(1);
}
