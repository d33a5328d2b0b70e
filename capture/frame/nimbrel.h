// The capture program's process-wide state, in one record that a test can
// build, run against fixtures and throw away.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "capture/frame/accesslog.h"
#include "capture/frame/diag.h"
#include "capture/frame/options.h"
#include "platform/clock.h"
#include "platform/exepath.h"

namespace nbl {

using ClockFn = std::function<int64_t()>;

struct Nimbrel {
  // What the program asks of the system, replaceable in tests.
  ExePathFn exePath = [](char* out, size_t cap) { return ExecutablePath(out, cap); };
  ClockFn now = [] { return SystemNow(); };
  Console console;

  OptionInfo options{};
  char iniPath[kPathCap] = {0};
  Diag diag{options, console};
  AccessLog accessLog{diag, options};
};

// Start-up up to the menu: banner, settings, placing, setting aside and
// opening the error and debug logs. Returns the exit code when it must end.
std::optional<int> StartUp(Nimbrel& app);

}  // namespace nbl
