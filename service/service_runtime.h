// Service mode: the single-instance guard, the dispatcher, the service main
// function, the control handler and the status reports.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace corvane {

extern int32_t service_flag;  // 1 in service mode
extern std::atomic<SERVICE_STATUS_HANDLE> service_handle;
extern HANDLE mutex;

// 1 when another wrapper already runs this service (or no guard can be
// named for it); 0 after creating the guard.
int check_already();

// Connects to the service control manager; returns when the service stopped.
void start_service();

void WINAPI service_main(DWORD argc, LPSTR* argv);
void WINAPI service_control_handler(DWORD control);
int send_status_to_scm(int32_t state, int32_t exit_code, int32_t progress);

}  // namespace corvane
