#include <signal.h>
#include <unistd.h>

#include "platform/console.h"

namespace nbl {

namespace {
// A signal handler can reach the program only through a static.
std::atomic<bool>* g_stopFlag = nullptr;
void OnStopSignal(int) {
  if (g_stopFlag != nullptr) g_stopFlag->store(true);
}
}  // namespace

void ConsoleSetup() {}

void WatchStopRequests(std::atomic<bool>* flag) {
  g_stopFlag = flag;
  struct sigaction sa = {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: a blocked read returns and the loop sees the flag
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void SystemPause(std::FILE* in, std::FILE* out) {
  std::fputs("Press any key to continue . . .\n", out);
  std::fflush(out);
  if (in == nullptr || !::isatty(::fileno(in))) return;
  int c;
  while ((c = std::fgetc(in)) != EOF && c != '\n') {
  }
}

}  // namespace nbl
