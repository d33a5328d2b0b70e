// The program's console and the system's "pause".
#pragma once

#include <atomic>
#include <cstdio>

namespace nbl {

// Windows: creates the process's console and attaches the standard streams to
// it. POSIX: the terminal stays as it is.
void ConsoleSetup();

// From now on Ctrl+C, Ctrl+Break, closing the console (and SIGTERM on POSIX)
// set *flag instead of ending the process at once, so that the capture can
// write what it holds and end by itself.
void WatchStopRequests(std::atomic<bool>* flag);

// Waits for a key as the system's "pause" command does. On POSIX it prints
// "Press any key to continue . . ." and waits for a line, but never blocks
// when input is not a terminal or is at its end.
void SystemPause(std::FILE* in, std::FILE* out);

}  // namespace nbl
