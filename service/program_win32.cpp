#include "service/program.h"

namespace corvane {

static_assert(CODE_WM_CLOSE == WM_CLOSE && CODE_WM_SYSCOMMAND == WM_SYSCOMMAND &&
              CODE_SC_CLOSE == SC_CLOSE);
static_assert(CREATE_FLAGS == CREATE_DEFAULT_ERROR_MODE &&
              CREATE_FLAGS_NEW_GROUP == (CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP));

std::atomic<DWORD> process_id{0};

bool start_program(program_start& plan, PROCESS_INFORMATION* pi) {
  STARTUPINFOA si;
  GetStartupInfoA(&si);
  if (plan.own_console) AllocConsole();
  return CreateProcessA(nullptr, plan.command_line, nullptr, nullptr, FALSE, plan.creation_flags,
                        nullptr, plan.work_dir, &si, pi) != 0;
}

void send_stop_request(int32_t end_pattern) {
  DWORD pid = process_id;
  switch (plan_stop_request(end_pattern, pid).kind) {
    case stop_kind::none:
      break;
    case stop_kind::console_break:
      // The program leads its own process group, so its id names the group.
      GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, pid);
      break;
    case stop_kind::window_messages:
      EnumWindows(EnumWindowsProc, end_pattern);
      break;
  }
}

BOOL CALLBACK EnumWindowsProc(HWND hWnd, LPARAM lParam) {
  if (GetWindow(hWnd, GW_OWNER) != nullptr) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  if (pid != process_id) return TRUE;
  stop_request r = plan_stop_request(static_cast<int32_t>(lParam), pid);
  for (int i = 0; i < r.count; ++i) {
    // In order: the window has handled (or timed out on) one before the next.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hWnd, r.messages[i].message, r.messages[i].wparam, 0,
                        SMTO_BLOCK | SMTO_ABORTIFHUNG, STOP_SEND_TIMEOUT_MS, &result);
  }
  return TRUE;
}

}  // namespace corvane
