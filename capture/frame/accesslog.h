// The access log: placement, setting aside under a time-stamped name, the
// title line, and LogFileAccess, the one writer through which every byte
// reaches the file.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "capture/frame/diag.h"
#include "capture/frame/options.h"
#include "platform/files.h"

namespace nbl {

// The first line of every file the program begins (178 bytes, 16 columns).
inline constexpr const char16_t kAccessLogTitle[] =
    u"Time,Action,Process ID,Session ID,Tree ID,Server IP,Server Port,Client IP,Client "
    u"Port,Client Computer Name,Client User Name,Idle Time,Exists,Attributes,Access "
    u"Status,Share Path\r\n";

enum LogFileAccessMode {
  kLogWrite = 1,       // write one row or line
  kLogOpen = 2,        // open the access log
  kLogSwitch = 3,      // rename the access log; a failure is logged
  kLogSwitchQuiet = 5  // rename the error or debug log at start-up (logs not open yet)
};

// path + the stamp YYMMDDhhmmss + extension (at most its first 15 characters),
// e.g. /var/log/Nimbrel.log -> /var/log/Nimbrel241211093005.log. False when
// the name would not fit 511 bytes.
bool MakeStampedName(const char* path, const std::tm& local, char* out);

class AccessLog {
 public:
  AccessLog(Diag& diag, const OptionInfo& options) : diag_(diag), opt_(options) {}
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  // size is the text's length in characters, used only in the failure line.
  bool LogFileAccess(const char* path, const char* newPath, const U16* text, int size, int mode);

  // Capture start: place the file, set an existing one aside (when
  // AplStartLogRotation asks for it), open it and write the title line.
  // Returns the exit code when the program must end.
  std::optional<int> OpenAtCaptureStart(const ExePathFn& exePath, int64_t now);

  // Writes the row held in the shared message buffer; reports a failure.
  bool WriteRow(size_t length);
  // Writes a row formatted earlier: through the shared message buffer as any row.
  bool WriteRowText(std::u16string_view row);

  void Close() { file_.Close(); }
  const char* path() const { return path_; }

 private:
  std::optional<int> FailAndEnd(std::u16string_view logLine, std::u16string_view consoleLine,
                                int line);

  Diag& diag_;
  const OptionInfo& opt_;
  AccessFile file_;
  char path_[kPathCap] = {0};
  Codec codec_{Encoding::kCp932};
  char bytes_[kMessageCap * 2 + 1] = {0};
};

// The common ending of a fatal start-up failure that waits for a key.
void PauseThenEnd(Diag& diag);

}  // namespace nbl
