// disctrail: what the process sets up around the demonstration, in order. The display
// itself, and everything it takes, the demonstration's driver opens and closes.
#include "demo/driver.h"
#include "platform/close_signals.h"
#include "platform/mode_guardian.h"

int main() {
    // First, so that a request to close made while the program starts is kept.
    watchCloseSignals();
    // Before any thread or X connection: gives a switched monitor back however the run
    // ends. It needs no taking down: it leaves when this process does.
    startModeGuardian();
    // Opens the display, runs frames until a key, closes the display and exits with
    // status 0.
    runDemo();
}
