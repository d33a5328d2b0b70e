#include "service/launch.h"
#include "service/program.h"
#include "service/service_runtime.h"
#include "service/settings.h"

namespace corvane {

int32_t service_flag = 0;
std::atomic<SERVICE_STATUS_HANDLE> service_handle{nullptr};
HANDLE mutex = nullptr;

int check_already() {
  char name[PATH_BYTES];
  // The dialog refuses such names, so only a hand-edited settings file gets
  // here; running unguarded could start the program twice.
  if (!format_mutex_name(settings.service_name, name)) return 1;
  HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
  if (existing != nullptr) {
    mutex = existing;
    return 1;
  }
  // No DACL: every account may open the guard.
  SECURITY_DESCRIPTOR sd;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  if (InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE))
    sa.lpSecurityDescriptor = &sd;
  mutex = CreateMutexA(&sa, FALSE, name);
  return 0;
}

void start_service() {
  SERVICE_TABLE_ENTRYA table[] = {{settings.service_name, service_main}, {nullptr, nullptr}};
  StartServiceCtrlDispatcherA(table);
}

int send_status_to_scm(int32_t state, int32_t exit_code, int32_t progress) {
  SERVICE_STATUS st = {};
  st.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  st.dwCurrentState = static_cast<DWORD>(state);
  st.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  st.dwWin32ExitCode = static_cast<DWORD>(exit_code);
  st.dwServiceSpecificExitCode = 0;
  st.dwCheckPoint = static_cast<DWORD>(progress);
  st.dwWaitHint = 3000;
  return SetServiceStatus(service_handle, &st);
}

void WINAPI service_main(DWORD, LPSTR*) {
  service_handle = RegisterServiceCtrlHandlerA(settings.service_name, service_control_handler);
  if (service_handle != nullptr) {
    send_status_to_scm(SERVICE_START_PENDING, 0, 1);
    // Running before the program starts: the program may take its time.
    send_status_to_scm(SERVICE_RUNNING, 0, 0);
    program_start plan;
    PROCESS_INFORMATION pi;
    if (plan_program_start(settings.exe_name, settings.option_name, settings.end_pattern, &plan) &&
        start_program(plan, &pi)) {
      process_id = pi.dwProcessId;
      send_status_to_scm(SERVICE_RUNNING, 0, 0);
      while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) Sleep(100);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    if (settings.end_pattern == END_CTRL_BREAK) FreeConsole();
    CloseHandle(mutex);
  }
  send_status_to_scm(SERVICE_STOPPED, 0, 0);
}

void WINAPI service_control_handler(DWORD control) {
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) return;
  send_status_to_scm(SERVICE_STOP_PENDING, 0, 1);
  send_stop_request(settings.end_pattern);
  // The program is asked to end, not waited for.
  send_status_to_scm(SERVICE_STOPPED, 0, 0);
}

}  // namespace corvane
