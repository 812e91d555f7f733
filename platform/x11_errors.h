// X errors, as this program takes them.
//
// The program's mode changes are requests the server may refuse (a mode it no longer
// has, a monitor unplugged meanwhile): while it makes them, each error is recorded for it
// to take after its request. Any other error is a fault: it ends the process with one
// line naming the failed request and exit status 1, rather than Xlib's default lines and
// an exit from whichever thread made the call. Losing the server altogether ends it with
// one line and status 1 too.
#pragma once

#include <X11/Xlib.h>

// Installs the handlers for the whole process. Call before any X connection opens, so
// that SDL's own handler, which it chains to the one it finds, ends up here.
void handleXErrors();

// From now until stopExpectingXErrors, an error on `display` is recorded for the caller,
// who makes requests there that the server may refuse.
void expectXErrors(Display* display);
void stopExpectingXErrors();

// Waits until the server has answered every request made on `display` so far, and
// returns the error code of the first it refused since the last call, or 0 (Success).
int takeXError(Display* display);

// Where a fault was recorded on another connection since the handlers were installed:
// writes its line and ends the process with status 1. Called after SDL's work, on the
// thread that did it.
void endOnXFault();
