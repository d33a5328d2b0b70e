// A stand-in for the program Corvane runs. It opens three top-level windows,
// a visible one, a hidden one and one owned by the first, and appends every
// close request they get to corvane_test_child.log beside the executable,
// one line each, with its process id first:
//   pid=N start cmdline=[...] cwd=[...]
//   pid=N ready                      (its windows exist)
//   pid=N main|hidden|owned WM_SYSCOMMAND SC_CLOSE
//   pid=N main|hidden|owned WM_CLOSE
//   pid=N exit
// SC_CLOSE is recorded and not passed on, so that the log shows exactly the
// messages the wrapper sent. Words in the command line change its behaviour:
// "hang" makes WM_CLOSE block for HANG_MS, "selfexit" ends the program by
// itself after a moment.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD HANG_MS = 30000;
constexpr UINT_PTR SELF_EXIT_TIMER = 1;
constexpr UINT SELF_EXIT_MS = 1500;

char log_path[MAX_PATH];
HWND main_window, hidden_window, owned_window;
bool hang;
int unowned_open = 2;

void log_line(const char* format, ...) {
  char line[1024];
  int n = std::snprintf(line, sizeof line, "pid=%lu ", GetCurrentProcessId());
  va_list ap;
  va_start(ap, format);
  n += std::vsnprintf(line + n, sizeof line - n - 2, format, ap);
  va_end(ap);
  if (n > static_cast<int>(sizeof line) - 3) n = sizeof line - 3;
  line[n++] = '\r';
  line[n++] = '\n';
  HANDLE f = CreateFileA(log_path, FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(f, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(f);
}

const char* role(HWND w) {
  if (w == main_window) return "main";
  if (w == hidden_window) return "hidden";
  if (w == owned_window) return "owned";
  return "other";
}

LRESULT CALLBACK window_proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        log_line("%s WM_SYSCOMMAND SC_CLOSE", role(w));
        return 0;
      }
      break;
    case WM_CLOSE:
      log_line("%s WM_CLOSE", role(w));
      if (hang) Sleep(HANG_MS);
      DestroyWindow(w);
      return 0;
    case WM_TIMER:
      if (wParam == SELF_EXIT_TIMER) {
        log_line("selfexit");
        DestroyWindow(hidden_window);
        DestroyWindow(main_window);
      }
      return 0;
    case WM_DESTROY:
      if (w != owned_window && --unowned_open == 0) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  GetModuleFileNameA(nullptr, log_path, MAX_PATH);
  char* slash = std::strrchr(log_path, '\\');
  std::snprintf(slash ? slash + 1 : log_path, MAX_PATH - (slash ? slash + 1 - log_path : 0),
                "corvane_test_child.log");

  const char* command_line = GetCommandLineA();
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  log_line("start cmdline=[%s] cwd=[%s]", command_line, cwd);
  hang = std::strstr(command_line, " hang") != nullptr;
  bool self_exit = std::strstr(command_line, " selfexit") != nullptr;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.lpszClassName = "CorvaneTestChild";
  RegisterClassA(&wc);
  main_window =
      CreateWindowA(wc.lpszClassName, "corvane test child", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, 300, 200, nullptr, nullptr, instance, nullptr);
  hidden_window =
      CreateWindowA(wc.lpszClassName, "corvane test child (hidden)", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                    100, nullptr, nullptr, instance, nullptr);
  owned_window = CreateWindowA(wc.lpszClassName, "corvane test child (owned)", WS_OVERLAPPED, 0, 0,
                               100, 100, main_window, nullptr, instance, nullptr);
  ShowWindow(main_window, SW_SHOW);
  ShowWindow(owned_window, SW_SHOW);
  if (self_exit) SetTimer(main_window, SELF_EXIT_TIMER, SELF_EXIT_MS, nullptr);
  log_line("ready");

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  log_line("exit");
  return 0;
}
