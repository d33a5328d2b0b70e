#include <cstdio>

#include "capture/frame/nimbrel.h"
#include "platform/console.h"
#include "platform/files.h"

namespace nbl {
namespace {

struct LogPlacement {
  const char* value;        // setting as read
  const char* defaultName;  // bare default name
  char* path;               // placed path
  const char16_t* pathError;
  const char* basePathLine;
  const char* changePathLine;
  const char* switchFailedLine;
};

// Sets an existing log aside under its time-stamped name. Returns the exit
// code when the program must end.
std::optional<int> SetAside(Nimbrel& app, const LogPlacement& p) {
  if (PathAccess(p.path) == kNoSuchFile) return std::nullopt;
  std::tm local{};
  LocalTime(app.now(), &local);
  char stamped[kPathCap] = {0};
  bool named = MakeStampedName(p.path, local, stamped);
  app.diag.Con8(p.basePathLine, p.path);
  app.diag.Con8(p.changePathLine, stamped);
  if (!named || !app.accessLog.LogFileAccess(p.path, stamped, nullptr, 0, kLogSwitchQuiet)) {
    app.diag.Con8("\n");
    app.diag.Con8(p.switchFailedLine, stamped);
    app.diag.FlushConsole();
    return 1;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> StartUp(Nimbrel& app) {
  Diag& diag = app.diag;
  diag.Con(u"------------ Start Nimbrel ------------\n");
  LoadOptions(app.exePath, &app.options, app.iniPath);

  diag.Con(u"------ Nimbrel ERR/DBG/File Path Set -------\n");
  const LogPlacement logs[] = {
      {app.options.ErrorLogFileFullPath, kErrorLogName, diag.errPath,
       u"ERROR : NimbrelERR.log Path : %s\n", "SET : NimbrelERR.log Base   Path : %s\n",
       "SET : NimbrelERR.log Change Path : %s\n", "NimbrelERR.log File Name Switch Failed : %s\n"},
      {app.options.DebugLogFileFullPath, kDebugLogName, diag.dbgPath,
       u"ERROR : NimbrelDBG.log Path : %s\n", "SET : NimbrelDBG.log Base   Path : %s\n",
       "SET : NimbrelDBG.log Change Path : %s\n", "NimbrelDBG.log File Name Switch Failed : %s\n"},
  };
  for (const LogPlacement& p : logs) {
    if (!PlaceLogFile(app.exePath, p.value, p.defaultName, p.path)) {
      diag.Con(p.pathError, SystemToWide(p.path));
      diag.Con(u"\n");
      diag.FlushConsole();
      SystemPause(app.console.in, app.console.out);
      return -1;
    }
  }
  for (const LogPlacement& p : logs)
    if (auto code = SetAside(app, p)) return code;

  diag.FormatLine(u"[%hs][%d][Info]: ------------ Start Nimbrel ------------\n", kMainFunc,
                  __LINE__);
  diag.ErrLogWrite(0);
  diag.DBG_LOG_PRINT(diag.message(), 0);
  diag.ToBoth(u"[%hs][%d][Info]: MakeIniFileName Load\n", kMainFunc, __LINE__);
  diag.Con(u"\n");
  return std::nullopt;
}

}  // namespace nbl
