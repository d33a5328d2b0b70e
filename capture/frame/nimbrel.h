// The capture program's process-wide state, in one record that a test can
// build, run against fixtures and throw away.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "capture/fileaccess/openfile.h"
#include "capture/frame/accesslog.h"
#include "capture/frame/diag.h"
#include "capture/frame/framevalues.h"
#include "capture/frame/options.h"
#include "capture/frame/tables.h"
#include "platform/capture.h"
#include "platform/clock.h"
#include "platform/exepath.h"

namespace nbl {

using ClockFn = std::function<int64_t()>;

// The ring of twelve address texts that the adapter list uses; each text
// stays valid until twelve further calls.
struct AddressRing {
  char text[12][16] = {};
  int last = 0;
  // "%d.%d.%d.%d" of the four bytes; out, when given, receives them too.
  const char* Format(const uint8_t* addr, uint8_t* out = nullptr);
};

struct Nimbrel {
  // What the program asks of the system, replaceable in tests.
  ExePathFn exePath = [](char* out, size_t cap) { return ExecutablePath(out, cap); };
  ClockFn now = [] { return SystemNow(); };
  CaptureSystem* capture = &SystemCapture();
  Console console;

  // Start-up.
  OptionInfo options{};
  char iniPath[kPathCap] = {0};
  Diag diag{options, console};
  AccessLog accessLog{diag, options};

  // Device set-up.
  bool deviceReady = false;
  std::unique_ptr<FrameSource> source;
  uint8_t serverAddress[4] = {0, 0, 0, 0};
  bool serverAddressSet = false;
  AddressRing addresses;

  // Capture.
  FrameValues frame;
  FixedTable<NBL_SmbSession_ST> sessions;
  FixedTable<NBL_AccessInfo_ST> accessInfo;
  FixedTable<NBL_SmbOpenFile_ST> openFiles;
  LastRowRecord lastRow{};
};

// Start-up up to the menu: banner, settings, placing, setting aside and
// opening the error and debug logs. Returns the exit code when it must end.
std::optional<int> StartUp(Nimbrel& app);

}  // namespace nbl
