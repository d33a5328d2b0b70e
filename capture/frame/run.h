#pragma once

#include "capture/frame/nimbrel.h"

namespace nbl {

// The whole program: start-up, the menu (or auto-run), the capture. Returns
// the process exit code.
int RunNimbrel(Nimbrel& app);

}  // namespace nbl
