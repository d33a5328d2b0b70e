// Starting the wrapped program and asking it to end, shared by the service
// and the dialog's test run.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "service/launch.h"

namespace corvane {

// The most recently started program; 0 before the first start. Written by
// the thread that starts the program, read by the service's control handler.
extern std::atomic<DWORD> process_id;

// Creates the process the plan describes (after taking a console for the
// Ctrl+Break method). The caller releases that console when it is done.
bool start_program(program_start& plan, PROCESS_INFORMATION* pi);

// Asks the program process_id names to end by the end method.
void send_stop_request(int32_t end_pattern);

// Sends the end method's messages (lParam) to one top-level window of the
// program; always TRUE so that every such window gets them.
BOOL CALLBACK EnumWindowsProc(HWND hWnd, LPARAM lParam);

}  // namespace corvane
