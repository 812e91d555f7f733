// The program's control flow: start-up, frames until a key, shutdown.
#pragma once

// Runs the demonstration and ends the process with exit status 0.
[[noreturn]] void runDemo();

// All of runDemo but the exit: start-up, the frames, and closing the display.
void runDemoUntilKey();
