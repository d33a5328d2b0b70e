#include <windows.h>

#include <cstdlib>

#include "platform/console.h"

namespace nbl {

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
