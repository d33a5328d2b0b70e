#include <windows.h>

#include <cstdlib>

#include "platform/console.h"

namespace nbl {

namespace {
// The console's control handler can reach the program only through a static.
std::atomic<bool>* g_stopFlag = nullptr;
BOOL WINAPI OnControl(DWORD event) {
  if (g_stopFlag == nullptr) return FALSE;
  g_stopFlag->store(true);
  // Closing the console ends the process when the handler returns: give the
  // capture loop a moment to write what it holds.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    Sleep(3000);
  return TRUE;
}
}  // namespace

void WatchStopRequests(std::atomic<bool>* flag) {
  g_stopFlag = flag;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

void ConsoleSetup() {
  AllocConsole();
  FILE* f = nullptr;
  freopen_s(&f, "CONOUT$", "w", stdout);
  freopen_s(&f, "CONIN$", "r", stdin);
}

void SystemPause(std::FILE* /*in*/, std::FILE* out) {
  std::fflush(out);
  std::system("pause");
}

}  // namespace nbl
