// Keeps the desktop's video mode safe from a run that dies in full screen.
//
// SDL gives the desktop its mode back only when the program closes its window; a
// crash, or SIGKILL, would leave the screen at 640x480. So before the first switch a
// small guardian process is forked: it remembers every CRTC's mode through RandR and
// waits on a socket to the program. A clean close tells it to leave; a fatal signal
// asks it to restore at once; and when the program disappears in any other way the
// socket's other end closes and the guardian restores then.
#pragma once

// Forks the guardian. Call before any thread or X connection exists; without an X
// server or RandR the guardian leaves at once and nothing else changes.
void startModeGuardian();

// For a fatal signal's handler (async-signal-safe): asks the guardian to restore the
// desktop's mode and waits up to a second for it to be done.
void restoreDesktopModeNow();

// After a clean close, when the desktop has its mode again: the guardian leaves
// without touching anything, and is reaped.
void releaseModeGuardian();
