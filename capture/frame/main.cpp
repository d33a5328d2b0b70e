// Nimbrel: watches a file server's SMB2 traffic and writes who accessed what.
#include <clocale>
#include <memory>

#include "capture/frame/nimbrel.h"
#include "capture/frame/run.h"
#include "platform/console.h"

int main() {
  nbl::ConsoleSetup();
#ifdef _WIN32
  std::setlocale(LC_ALL, "Japanese");
#endif
  auto app = std::make_unique<nbl::Nimbrel>();
  nbl::WatchStopRequests(&app->stopRequested);
  return nbl::RunNimbrel(*app);
}
