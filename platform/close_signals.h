// SIGINT, SIGTERM and SIGHUP, which a terminal, a session manager or `kill` sends to ask
// a program to end, reach the program as a request to close its window.
#pragma once

// Installs the handlers. Call first thing in main: a signal that comes while the
// program starts is kept until the display takes it.
void watchCloseSignals();

// Whether a close signal has come since the last call. Safe on any thread.
bool takeCloseSignal();
