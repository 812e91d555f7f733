#include "platform/x11_mode.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdlib>

#include "platform/x11_errors.h"

namespace {

constexpr unsigned kPageModeWidth = 640;
constexpr unsigned kPageModeHeight = 480;
constexpr int kMaxOutputs = 8;
constexpr char kRecordName[] = "_DISCTRAIL_DESKTOP_MODE";

// One CRTC as it was set: what the record keeps.
struct CrtcSetting {
    RRCrtc crtc;
    RRMode mode;
    int x, y;
    Rotation rotation;
    RROutput outputs[kMaxOutputs];
    int outputCount;
};

struct Record {
    Window lease;
    CrtcSetting setting;
};

// The record's 32-bit items: the lease, then the CRTC, mode, x, y and rotation, the
// number of outputs and the outputs.
constexpr int kRecordHeader = 7;
constexpr int kRecordItems = kRecordHeader + kMaxOutputs;

// The server grabbed, so that no other run reads or writes the record, or switches,
// between this one's look and its change; and every error of the requests made meanwhile
// the caller's to take.
struct ModeRequests {
    Display* display;

    explicit ModeRequests(Display* at) : display(at) {
        expectXErrors(display);
        XGrabServer(display);
    }
    ~ModeRequests() {
        XUngrabServer(display);
        takeXError(display);
        stopExpectingXErrors();
    }
    ModeRequests(const ModeRequests&) = delete;
    ModeRequests& operator=(const ModeRequests&) = delete;
};

Atom recordAtom(Display* display) { return XInternAtom(display, kRecordName, False); }

bool readRecord(Display* display, Record& record) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), recordAtom(display), 0, kRecordItems,
                                          False, XA_CARDINAL, &type, &format, &count, &remaining, &data);
    bool found = false;
    if (status == Success && type == XA_CARDINAL && format == 32 && count >= kRecordHeader) {
        // Xlib hands 32-bit items over as longs.
        const auto* items = reinterpret_cast<const long*>(data);
        record.lease = static_cast<Window>(items[0]);
        CrtcSetting& setting = record.setting;
        setting.crtc = static_cast<RRCrtc>(items[1]);
        setting.mode = static_cast<RRMode>(items[2]);
        setting.x = static_cast<int>(items[3]);
        setting.y = static_cast<int>(items[4]);
        setting.rotation = static_cast<Rotation>(items[5]);
        setting.outputCount = static_cast<int>(std::clamp<long>(items[6], 0, static_cast<long>(count) - kRecordHeader));
        for (int i = 0; i < setting.outputCount; ++i) {
            setting.outputs[i] = static_cast<RROutput>(items[kRecordHeader + i]);
        }
        found = true;
    }
    if (data != nullptr) {
        XFree(data);
    }
    return found;
}

void writeRecord(Display* display, const Record& record) {
    const CrtcSetting& setting = record.setting;
    long items[kRecordItems] = {static_cast<long>(record.lease), static_cast<long>(setting.crtc),
                                static_cast<long>(setting.mode), setting.x, setting.y,
                                static_cast<long>(setting.rotation), setting.outputCount};
    for (int i = 0; i < setting.outputCount; ++i) {
        items[kRecordHeader + i] = static_cast<long>(setting.outputs[i]);
    }
    XChangeProperty(display, DefaultRootWindow(display), recordAtom(display), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items), kRecordHeader + setting.outputCount);
}

void deleteRecord(Display* display) { XDeleteProperty(display, DefaultRootWindow(display), recordAtom(display)); }

// A lease lives as long as the guardian's connection that made it.
bool leaseAlive(Display* display, Window lease) {
    XWindowAttributes attributes;
    const bool found = XGetWindowAttributes(display, lease, &attributes) != 0;
    return takeXError(display) == Success && found;
}

const XRRModeInfo* findMode(const XRRScreenResources* resources, RRMode mode) {
    for (int i = 0; i < resources->nmode; ++i) {
        if (resources->modes[i].id == mode) {
            return &resources->modes[i];
        }
    }
    return nullptr;
}

// The area a CRTC shows in a mode: turned a quarter, a mode shows its height across.
MonitorArea areaOf(const XRRModeInfo& mode, int x, int y, Rotation rotation) {
    const bool sideways = (rotation & (RR_Rotate_90 | RR_Rotate_270)) != 0;
    const int width = static_cast<int>(sideways ? mode.height : mode.width);
    const int height = static_cast<int>(sideways ? mode.width : mode.height);
    return MonitorArea{x, y, width, height};
}

// The lit CRTC whose area holds root position (x, y).
bool crtcAt(Display* display, XRRScreenResources* resources, int x, int y, CrtcSetting& found, MonitorArea& area) {
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (info == nullptr) {
            continue;
        }
        const XRRModeInfo* mode = findMode(resources, info->mode);
        const bool holds = mode != nullptr && info->noutput > 0 && x >= info->x && y >= info->y &&
                           x < info->x + static_cast<int>(info->width) && y < info->y + static_cast<int>(info->height);
        if (holds) {
            found = CrtcSetting{resources->crtcs[i], info->mode, info->x, info->y, info->rotation, {}, 0};
            found.outputCount = std::min(info->noutput, kMaxOutputs);
            std::copy_n(info->outputs, found.outputCount, found.outputs);
            area = areaOf(*mode, info->x, info->y, info->rotation);
        }
        XRRFreeCrtcInfo(info);
        if (holds) {
            return true;
        }
    }
    return false;
}

// The output's mode of `width` x `height`, or with `width` 0 its preferred mode (the
// first it lists, where it prefers none); None where it has no such mode or is gone.
RRMode outputMode(Display* display, XRRScreenResources* resources, RROutput output, unsigned width, unsigned height) {
    XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
    if (info == nullptr) {
        return None;
    }
    RRMode chosen = None;
    for (int i = 0; i < info->nmode && chosen == None; ++i) {
        const XRRModeInfo* mode = findMode(resources, info->modes[i]);
        if (mode != nullptr && (width == 0 || (mode->width == width && mode->height == height))) {
            chosen = mode->id;
        }
    }
    XRRFreeOutputInfo(info);
    return chosen;
}

bool outputOffers(Display* display, XRRScreenResources* resources, RROutput output, RRMode wanted) {
    XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
    if (info == nullptr) {
        return false;
    }
    const bool offered = std::find(info->modes, info->modes + info->nmode, wanted) != info->modes + info->nmode;
    XRRFreeOutputInfo(info);
    return offered;
}

bool setCrtc(Display* display, XRRScreenResources* resources, const CrtcSetting& setting) {
    const Status status = XRRSetCrtcConfig(display, resources, setting.crtc, CurrentTime, setting.x, setting.y,
                                           setting.mode, setting.rotation, const_cast<RROutput*>(setting.outputs),
                                           setting.outputCount);
    return takeXError(display) == Success && status == RRSetConfigSuccess;
}

// Makes the X screen large enough for `area`, where the desktop changed under the run
// so that it no longer is. The size is read from the server, not from Xlib's copy taken
// when the connection opened.
void makeRoomFor(Display* display, const MonitorArea& area) {
    const Window root = DefaultRootWindow(display);
    Window unusedRoot = None;
    int unusedX = 0, unusedY = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (XGetGeometry(display, root, &unusedRoot, &unusedX, &unusedY, &width, &height, &border, &depth) == 0) {
        return;
    }
    const auto neededWidth = static_cast<unsigned>(area.x + area.width);
    const auto neededHeight = static_cast<unsigned>(area.y + area.height);
    if (neededWidth <= width && neededHeight <= height) {
        return;
    }
    width = std::max(width, neededWidth);
    height = std::max(height, neededHeight);
    // At 96 pixels an inch, as the X server itself assumes when a monitor says nothing.
    XRRSetScreenSize(display, root, static_cast<int>(width), static_cast<int>(height),
                     static_cast<int>(width * 254 / 960), static_cast<int>(height * 254 / 960));
    takeXError(display);
}

// Puts a recorded CRTC back as it was, each part checked against the server as it is now:
// where the recorded mode is gone, the output gets its preferred mode.
void putBack(Display* display, CrtcSetting setting, MonitorArea& area) {
    if (setting.outputCount == 0) {
        return;  // no record of the program's: it switches only lit monitors
    }
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) {
        return;
    }
    if (!outputOffers(display, resources, setting.outputs[0], setting.mode)) {
        setting.mode = outputMode(display, resources, setting.outputs[0], 0, 0);
    }
    const XRRModeInfo* mode = findMode(resources, setting.mode);
    if (mode != nullptr) {
        area = areaOf(*mode, setting.x, setting.y, setting.rotation);
        XRRCrtcInfo* now = XRRGetCrtcInfo(display, resources, setting.crtc);
        const bool alreadySo = now != nullptr && now->mode == setting.mode && now->x == setting.x &&
                               now->y == setting.y && now->rotation == setting.rotation;
        if (now != nullptr) {
            XRRFreeCrtcInfo(now);
        }
        if (!alreadySo) {
            makeRoomFor(display, area);
            setCrtc(display, resources, setting);
        }
    }
    XRRFreeScreenResources(resources);
}

} // namespace

bool hasRandr(Display* display) {
    int opcode = 0, firstEvent = 0, firstError = 0, major = 0, minor = 0;
    // The core request asks quietly; RandR's own query would print Xlib's complaint
    // where the extension is missing.
    return XQueryExtension(display, "RANDR", &opcode, &firstEvent, &firstError) &&
           XRRQueryVersion(display, &major, &minor) && (major > 1 || minor >= 2);
}

bool displayHasRandr() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == 0) {
        return false;
    }
    Display* display = XOpenDisplay(name);
    if (display == nullptr) {
        return false;
    }
    const bool found = hasRandr(display);
    XCloseDisplay(display);
    return found;
}

bool switchMonitor(Display* display, Window lease, int x, int y, MonitorArea& area) {
    if (!hasRandr(display)) {
        return false;
    }
    ModeRequests requests(display);
    Record record{};
    if (readRecord(display, record)) {
        if (record.lease != lease && leaseAlive(display, record.lease)) {
            return false;  // another run holds the switch
        }
        // A record whose run and guardian have gone: its monitor gets its mode back first.
        MonitorArea restored{};
        putBack(display, record.setting, restored);
        deleteRecord(display);
    }
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) {
        return false;
    }
    bool switched = false;
    CrtcSetting desktop{};
    if (crtcAt(display, resources, x, y, desktop, area)) {
        CrtcSetting page = desktop;
        page.mode = outputMode(display, resources, desktop.outputs[0], kPageModeWidth, kPageModeHeight);
        if (page.mode != None && page.mode != desktop.mode) {
            writeRecord(display, Record{lease, desktop});
            switched = setCrtc(display, resources, page);
            if (switched) {
                area = areaOf(*findMode(resources, page.mode), page.x, page.y, page.rotation);
            } else {
                deleteRecord(display);
            }
        }
    }
    XRRFreeScreenResources(resources);
    return switched;
}

bool restoreMonitor(Display* display, Window lease, MonitorArea& area) {
    if (!hasRandr(display)) {
        return false;
    }
    ModeRequests requests(display);
    Record record{};
    if (!readRecord(display, record) || record.lease != lease) {
        return false;
    }
    putBack(display, record.setting, area);
    deleteRecord(display);
    return true;
}
