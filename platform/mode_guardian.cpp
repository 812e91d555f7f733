#include "platform/mode_guardian.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char kRestore = 'r';   // the program is dying: restore now
constexpr char kRestored = 'k';  // the guardian's answer
constexpr char kRelease = 'd';   // the program closed cleanly: leave everything alone

// The program's end of the socket, and the guardian's PID.
struct GuardianLink {
    int socket = -1;
    pid_t pid = -1;
};

GuardianLink gLink;

// One CRTC as the desktop had it.
struct SavedCrtc {
    RRCrtc crtc;
    RRMode mode;
    int x, y;
    Rotation rotation;
    RROutput outputs[8];
    int outputCount;
};

struct SavedDesktop {
    int screenWidth, screenHeight, screenWidthMm, screenHeightMm;
    SavedCrtc crtcs[16];
    int crtcCount;
};

// The server has gone: there is no mode left to restore.
int leaveQuietly(Display*) { _exit(0); }

bool saveDesktop(Display* display, SavedDesktop& saved) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 2)) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    const int screen = DefaultScreen(display);
    saved.screenWidth = DisplayWidth(display, screen);
    saved.screenHeight = DisplayHeight(display, screen);
    saved.screenWidthMm = DisplayWidthMM(display, screen);
    saved.screenHeightMm = DisplayHeightMM(display, screen);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return false;
    }
    saved.crtcCount = 0;
    for (int i = 0; i < resources->ncrtc && saved.crtcCount < 16; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (info == nullptr) {
            continue;
        }
        SavedCrtc& crtc = saved.crtcs[saved.crtcCount++];
        crtc.crtc = resources->crtcs[i];
        crtc.mode = info->mode;
        crtc.x = info->x;
        crtc.y = info->y;
        crtc.rotation = info->rotation;
        crtc.outputCount = info->noutput < 8 ? info->noutput : 8;
        std::memcpy(crtc.outputs, info->outputs, sizeof(RROutput) * static_cast<std::size_t>(crtc.outputCount));
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
    return true;
}

bool crtcChanged(Display* display, XRRScreenResources* resources, const SavedCrtc& crtc) {
    XRRCrtcInfo* now = XRRGetCrtcInfo(display, resources, crtc.crtc);
    if (now == nullptr) {
        return true;
    }
    const bool changed = now->mode != crtc.mode || now->x != crtc.x || now->y != crtc.y || now->rotation != crtc.rotation;
    XRRFreeCrtcInfo(now);
    return changed;
}

void restoreDesktop(Display* display, const SavedDesktop& saved) {
    const Window root = DefaultRootWindow(display);
    const int screen = DefaultScreen(display);
    XGrabServer(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources != nullptr) {
        bool changed[16] = {};
        bool anyChanged = DisplayWidth(display, screen) != saved.screenWidth || DisplayHeight(display, screen) != saved.screenHeight;
        for (int i = 0; i < saved.crtcCount; ++i) {
            changed[i] = crtcChanged(display, resources, saved.crtcs[i]);
            anyChanged = anyChanged || changed[i];
        }
        if (anyChanged) {
            // The screen must hold every CRTC while they change, and have its own size after.
            XRRSetScreenSize(display, root, std::max(saved.screenWidth, DisplayWidth(display, screen)),
                             std::max(saved.screenHeight, DisplayHeight(display, screen)), saved.screenWidthMm,
                             saved.screenHeightMm);
            for (int i = 0; i < saved.crtcCount; ++i) {
                const SavedCrtc& crtc = saved.crtcs[i];
                if (changed[i]) {
                    XRRSetCrtcConfig(display, resources, crtc.crtc, CurrentTime, crtc.x, crtc.y, crtc.mode, crtc.rotation,
                                     const_cast<RROutput*>(crtc.outputs), crtc.outputCount);
                }
            }
            XRRSetScreenSize(display, root, saved.screenWidth, saved.screenHeight, saved.screenWidthMm, saved.screenHeightMm);
        }
        XRRFreeScreenResources(resources);
    }
    XUngrabServer(display);
    XSync(display, False);
}

[[noreturn]] void guard(int socket) {
    // The program's terminal may interrupt or hang up the whole process group; the
    // guardian outlives that, to restore after the program if it must.
    for (int signal : {SIGINT, SIGHUP, SIGTERM, SIGQUIT, SIGPIPE}) {
        std::signal(signal, SIG_IGN);
    }
    XSetIOErrorHandler(leaveQuietly);
    Display* display = XOpenDisplay(nullptr);
    SavedDesktop saved{};
    if (display == nullptr || !saveDesktop(display, saved)) {
        _exit(0);
    }
    while (true) {
        char command = 0;
        const ssize_t got = read(socket, &command, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 1 && command == kRelease) {
            _exit(0);
        }
        restoreDesktop(display, saved);
        if (got != 1) {
            _exit(0);  // the program has gone
        }
        send(socket, &kRestored, 1, MSG_NOSIGNAL);
    }
}

} // namespace

void startModeGuardian() {
    if (gLink.pid > 0) {
        return;
    }
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        guard(ends[1]);
    }
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return;
    }
    gLink = GuardianLink{ends[0], pid};
}

void restoreDesktopModeNow() {
    if (gLink.socket < 0) {
        return;
    }
    if (send(gLink.socket, &kRestore, 1, MSG_NOSIGNAL) != 1) {
        return;
    }
    pollfd answer{gLink.socket, POLLIN, 0};
    if (poll(&answer, 1, 1000) == 1) {
        char reply = 0;
        [[maybe_unused]] const ssize_t got = read(gLink.socket, &reply, 1);
    }
}

void releaseModeGuardian() {
    if (gLink.socket < 0) {
        return;
    }
    send(gLink.socket, &kRelease, 1, MSG_NOSIGNAL);
    close(gLink.socket);
    // It leaves at once; one stuck on a hung server must not hold the program's exit.
    for (int waited = 0; waited < 200 && waitpid(gLink.pid, nullptr, WNOHANG) == 0; ++waited) {
        usleep(10000);
    }
    if (waitpid(gLink.pid, nullptr, WNOHANG) == 0) {
        kill(gLink.pid, SIGKILL);
        waitpid(gLink.pid, nullptr, 0);
    }
    gLink = GuardianLink{};
}
