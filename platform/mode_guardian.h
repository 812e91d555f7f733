// Gives the desktop its monitor's mode back however the run ends, a crash or SIGKILL
// included.
//
// A small guardian process is forked before the program opens its display. It opens an X
// connection of its own, makes a lease (a window of that connection, alive exactly as
// long as the guardian is) and tells the program, which switches a monitor only under
// that lease (x11_mode.cpp). Then it waits for its socket to the program to close, which
// the kernel does however the program ends, and gives back whatever monitor is still
// recorded under its lease. After a clean close there is none: the program has given it
// back itself.
#pragma once

#include <X11/Xlib.h>

// Forks the guardian where an X server with RandR answers; elsewhere no mode is ever
// switched and there is nothing to guard. Call before any thread or X connection of the
// program exists.
void startModeGuardian();

// The guardian's lease, waiting for it up to two seconds at the first call; None where
// there is no guardian, or it was not ready in time, and then no mode is switched.
Window modeGuardianLease();
