// The capture program's process-wide state, in one record that a test can
// build, run against fixtures and throw away.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "capture/fileaccess/openfile.h"
#include "capture/frame/accesslog.h"
#include "capture/frame/diag.h"
#include "capture/frame/framevalues.h"
#include "capture/frame/options.h"
#include "capture/frame/rowqueue.h"
#include "capture/frame/tables.h"
#include "platform/capture.h"
#include "platform/clock.h"
#include "platform/exepath.h"
#include "platform/fileattr.h"
#include "platform/fileserver.h"
#include "platform/names.h"

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

// What the session table holds: how many records the last refresh filled and
// from which list, so that an unchanged list is not copied again. A resolved
// host name replaces one record's client name until the next refresh; that
// one record is put back rather than the whole list copied anew.
struct SessionTableState {
  int32_t filled = 0;
  uint64_t generation = UINT64_MAX;    // no list yet
  int32_t renamed = -1;                // the record whose client name was replaced
  U16 renamedCname[kTextUnits] = {0};  // its client name as the server gave it
  bool dirty = false;                  // more than one record changed: copy the list anew
  bool hitCapacity = false;            // the list did not fit; its messages repeat at every refresh
};

struct OpenFileTableState {
  int32_t filled = 0;  // records the last enumeration filled
};

using ResolveNameFn = std::function<int(const char* ipv4, char* host, size_t cap)>;

struct Nimbrel {
  // What the program asks of the system, replaceable in tests.
  ExePathFn exePath = [](char* out, size_t cap) { return ExecutablePath(out, cap); };
  ClockFn now = [] { return SystemNow(); };
  CaptureSystem* capture = &SystemCapture();
  ResolveNameFn resolveName = [](const char* ip, char* host, size_t cap) {
    return ResolveHostName(ip, host, cap);
  };
  // The file server's session and open-file lists; opened at first use from
  // the settings file unless a test put its own here.
  std::unique_ptr<FileServer> server;
  FileServer& Server() {
    if (!server) server = OpenFileServer(iniPath);
    return *server;
  }
  // The file system the access kind is read from; opened at first use.
  std::unique_ptr<FileSystemView> files;
  FileSystemView& Files() {
    if (!files) files = OpenFileSystemView(iniPath);
    return *files;
  }
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
  SessionTableState sessionState;
  AccessInfoTable accessInfo;
  FixedTable<NBL_SmbOpenFile_ST> openFiles;
  OpenFileTableState openFileState;
  U16 sBuffer[kTextUnits] = {0};  // the request name of the CREATE or SET_INFO being handled
  LastRowRecord lastRow{};
  RowQueue rows;
  uint64_t framesSeen = 0;  // frames read, and of them SMB2 messages handled
  uint64_t smb2Frames = 0;
  std::atomic<bool> stopRequested{false};  // Ctrl+C, SIGTERM, the wrapper's stop
};

// Start-up up to the menu: banner, settings, placing, setting aside and
// opening the error and debug logs. Returns the exit code when it must end.
std::optional<int> StartUp(Nimbrel& app);

}  // namespace nbl
