// The program's name as a person knows it: its file name less directory and extension.
// Titles its window and starts every line it writes to standard error.
#pragma once

const char* programName();
