// Loaded with LD_PRELOAD into the program under test: its mode guardian reaches the X
// server DELAY_GUARDIAN_MS milliseconds late, as on a loaded machine. Only the guardian
// waits (it is known by its process name); the program itself, and everything else,
// goes straight to the real Xlib.
#include <X11/Xlib.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

bool isGuardian() {
    char name[32] = {};
    const int file = open("/proc/self/comm", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    const ssize_t length = read(file, name, sizeof name - 1);
    close(file);
    return length > 0 && std::strstr(name, "-guard") != nullptr;
}

} // namespace

extern "C" Display* XOpenDisplay(const char* name) {
    using OpenDisplay = Display* (*)(const char*);
    static const auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(RTLD_NEXT, "XOpenDisplay"));
    const char* delay = std::getenv("DELAY_GUARDIAN_MS");
    if (delay != nullptr && isGuardian()) {
        usleep(static_cast<useconds_t>(std::atoi(delay)) * 1000);
    }
    return openDisplay(name);
}
