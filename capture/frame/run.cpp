#include "capture/frame/run.h"

namespace nbl {

int RunNimbrel(Nimbrel& app) {
  if (auto code = StartUp(app)) return *code;
  // The menu and the capture come next; until they exist the program opens
  // its access log as the capture start does and ends.
  if (auto code = app.accessLog.OpenAtCaptureStart(app.exePath, app.now())) return *code;
  app.diag.CloseLogs();
  app.accessLog.Close();
  return 0;
}

}  // namespace nbl
