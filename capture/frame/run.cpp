#include "capture/frame/run.h"

#include "capture/frame/menu.h"

namespace nbl {

int RunNimbrel(Nimbrel& app) {
  if (auto code = StartUp(app)) return *code;
  return RunMenu(app);
}

}  // namespace nbl
