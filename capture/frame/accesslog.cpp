#include "capture/frame/accesslog.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/exepath.h"

namespace nbl {
namespace {

// Start of the extension as the system's path functions find it: the last
// dot of the last path component; a blank or a separator after a dot means
// there is none.
const char* FindExtension(const char* path) {
  const char* dot = nullptr;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ' ')
      dot = nullptr;
    else if (*p == '.')
      dot = p;
  }
  return dot ? dot : path + std::strlen(path);
}

}  // namespace

bool MakeStampedName(const char* path, const std::tm& t, char* out) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d%02d", t.tm_year + 1900 - 2000,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  const char* ext = FindExtension(path);
  char extension[16];
  std::snprintf(extension, sizeof extension, "%s", ext);
  int baseLen = static_cast<int>(ext - path);
  char tmp[kPathCap];
  int n = std::snprintf(tmp, sizeof tmp, "%.*s%s%s", baseLen, path, stamp, extension);
  if (n < 0 || static_cast<size_t>(n) >= sizeof tmp) return false;
  std::memcpy(out, tmp, static_cast<size_t>(n) + 1);
  return true;
}

bool AccessLog::LogFileAccess(const char* path, const char* newPath, const U16* text, int size,
                              int mode) {
  int err = 0;
  switch (mode) {
    case kLogWrite: {
      size_t replaced = 0;
      size_t n = codec_.Encode(U16View(text, kMessageCap), bytes_, sizeof bytes_, &replaced);
      long written = 0;
      bool ok = n > 0 && file_.Write(bytes_, n, &written, &err);
      if (!ok) {
        diag_.ToErr(
            u"[%hs][%d][Err]: file write error !! ret=%d : WriteSize=%d : WrittenSize=%d (%d)\n",
            kLogFileAccessFunc, __LINE__, ok ? 1 : 0, size, written, err);
        return false;
      }
      // A character the code page cannot hold is written as '?' rather than
      // losing the row: a client must not be able to hide an access by name.
      if (replaced > 0)
        diag_.ToErr(
            u"[%hs][%d][Warn]: LogFileAccess %d character(s) outside code page 932 written as "
            u"'?'\n",
            kLogFileAccessFunc, __LINE__, replaced);
      return true;
    }
    case kLogOpen:
      if (!file_.Open(path, &err)) {
        diag_.ToErr(u"[%hs][%d][Err]: file open error !! [%s](%d)\n", kLogFileAccessFunc, __LINE__,
                    SystemToWide(path), err);
        return false;
      }
      std::snprintf(path_, sizeof path_, "%s", path);
      return true;
    case kLogSwitch:
    case kLogSwitchQuiet:
      if (RenameNoReplace(path, newPath, &err)) return true;
      if (mode == kLogSwitch)
        diag_.ToErr(u"[%hs][%d][Err]: file change error !! [%s] > [%s] (%d)\n", kLogFileAccessFunc,
                    __LINE__, SystemToWide(path), SystemToWide(newPath), err);
      return false;
    default:
      return true;
  }
}

bool AccessLog::WriteRow(size_t length) {
  if (LogFileAccess(nullptr, nullptr, diag_.message(), static_cast<int>(length), kLogWrite))
    return true;
  diag_.ToErr(u"[%hs][%d][Err]:LogFileAccess Write Error\n", kMainFunc, __LINE__);
  return false;
}

bool AccessLog::WriteRowText(std::u16string_view row) {
  if (row.data() == diag_.message()) return WriteRow(row.size());  // already in place
  return WriteRow(U16Copy(diag_.message(), kMessageCap, row));
}

void PauseThenEnd(Diag& diag) {
  diag.Con(u"\n");
  diag.Con(u"INFO : exit the application.\n");
  diag.Con(u"\n");
  diag.FlushConsole();
  SystemPause(diag.console().in, diag.console().out);
}

std::optional<int> AccessLog::FailAndEnd(std::u16string_view logLine,
                                         std::u16string_view consoleLine, int line) {
  diag_.ToBoth(logLine, kMainFunc, line);
  diag_.Con(consoleLine);
  PauseThenEnd(diag_);
  return -1;
}

std::optional<int> AccessLog::OpenAtCaptureStart(const ExePathFn& exePath, int64_t now) {
  char path[kPathCap] = {0};
  if (!PlaceLogFile(exePath, opt_.AccessLogFileFullPath, kAccessLogName, path)) {
    diag_.ToBoth(u"[%hs][%d][Err]: Nimbrel.log Path : %s\n", kMainFunc, __LINE__,
                 SystemToWide(path));
    diag_.Con(u"ERROR : Nimbrel.log Path Path : %s\n", SystemToWide(path));
    diag_.Con(u"\n");
    diag_.FlushConsole();
    SystemPause(diag_.console().in, diag_.console().out);
    return -1;
  }
  bool isNew = PathAccess(path) == kNoSuchFile;
  bool writeTitle = true;
  if (!isNew) {
    std::tm local{};
    LocalTime(now, &local);
    char stamped[kPathCap] = {0};
    bool named = MakeStampedName(path, local, stamped);
    diag_.Con8("SET : Nimbrel.log Base   Path : %s\n", path);
    diag_.Con8("SET : Nimbrel.log Change Path : %s\n", stamped);
    if (opt_.AplStartLogRotation != 0) {
      if (!named || !LogFileAccess(path, stamped, nullptr, 0, kLogSwitch)) {
        diag_.Con8("\n");
        diag_.Con8("Nimbrel.log File Name Switch Failed : %s\n", stamped);
        diag_.FlushConsole();
        return 1;
      }
    } else {
      writeTitle = false;
    }
  }
  if (!LogFileAccess(path, nullptr, nullptr, 0, kLogOpen))
    return FailAndEnd(u"[%hs][%d][Err]:LogFileAccess ACCESS_LOG_FILE Open Error\n",
                      u"ERR  : File Open Error.\n", __LINE__);
  diag_.ToDbg(u"[%hs][%d][Info]: LogFileAccess ACCESS_LOG_FILE Open \n", kMainFunc, __LINE__);
  if (!writeTitle) return std::nullopt;
  if (!LogFileAccess(nullptr, nullptr, kAccessLogTitle, 178, kLogWrite))
    return FailAndEnd(u"[%hs][%d][Err]:LogFileAccess Title Write Error\n",
                      u"ERR  : File Write Error.\n", __LINE__);
  diag_.ToDbg(u"[%hs][%d][Info]: LogFileAccess TITLE Write \n", kMainFunc, __LINE__);
  return std::nullopt;
}

}  // namespace nbl
