// The console menu and the capture device set-up.
#pragma once

#include <cstdio>

namespace nbl {

struct Nimbrel;

// The menu, entered once after start-up (or answered by itself under
// AutoRun); ends by starting the capture or ending the program. Returns the
// exit code.
int RunMenu(Nimbrel& app);

// Reads one integer from a line of input. 1: a number; 0: the line held none
// (it is discarded); -1: the input is at its end.
int ReadNumber(std::FILE* in, int* value);

}  // namespace nbl
