// Diagnostic output: the console, the error log and the debug log, the shared
// message buffer and the detail levels DBGmode (debug log) and DBGmodePrt
// (console).
#pragma once

#include <cstddef>
#include <cstdio>

#include "capture/frame/msformat.h"
#include "capture/frame/options.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace nbl {

// Reporting function names as the line prefix "[%hs][%d]" shows them.
inline constexpr const char kMainFunc[] = "wWinMain";
inline constexpr const char kLogFileAccessFunc[] = "LogFileAccess";
inline constexpr const char kDbgLogPrintFunc[] = "DBG_LOG_PRINT";

// Log lines are cut at 255 characters (keeping their line end). Rows use the
// whole buffer, which is sized so that the longest row a record can make fits
// whole: a cut row would lose its line end and glue the next row onto it.
inline constexpr size_t kLineLimit = 256;
inline constexpr size_t kMessageCap = 8192;

struct Console {
  std::FILE* out = stdout;
  std::FILE* in = stdin;
};

class Diag {
 public:
  Diag(const OptionInfo& options, Console& console) : opt_(options), con_(console) {}
  Diag(const Diag&) = delete;
  Diag& operator=(const Diag&) = delete;

  // Detail levels: a trace of level n is written when the setting is n or more.
  bool DbgOn(int level) const { return opt_.DBGmode >= level; }
  bool PrtOn(int level) const { return opt_.DBGmodePrt >= level; }

  // The shared message buffer: a line is formatted into it, then written.
  U16* message() { return msg_; }
  template <class... A>
  FmtResult FormatLine(std::u16string_view fmt, const A&... a) {
    return FormatWide(msg_, kLineLimit, fmt, {FmtArg(a)...});
  }
  template <class... A>
  FmtResult FormatRow(std::u16string_view fmt, const A&... a) {
    return FormatWide(msg_, kMessageCap, fmt, {FmtArg(a)...});
  }

  // Error-log writer: flag 0 opens the log (writing the message only if the
  // file is new), flag 1 writes the message. Returns 1 when the open failed.
  int ErrLogWrite(int flag);
  // Debug-log writer: the same for the debug log, with the text given.
  int DBG_LOG_PRINT(const U16* text, int flag);

  // Format once, then write to one or both logs.
  template <class... A>
  void ToErr(std::u16string_view fmt, const A&... a) {
    FormatLine(fmt, a...);
    ErrLogWrite(1);
  }
  template <class... A>
  void ToDbg(std::u16string_view fmt, const A&... a) {
    FormatLine(fmt, a...);
    DBG_LOG_PRINT(msg_, 1);
  }
  template <class... A>
  void ToBoth(std::u16string_view fmt, const A&... a) {
    FormatLine(fmt, a...);
    ErrLogWrite(1);
    DBG_LOG_PRINT(msg_, 1);
  }
  // Traces: the level is tested before anything is formatted.
  template <class... A>
  void Dbg(int level, std::u16string_view fmt, const A&... a) {
    if (DbgOn(level)) ToDbg(fmt, a...);
  }
  template <class... A>
  void Prt(int level, std::u16string_view fmt, const A&... a) {
    if (PrtOn(level)) Con(fmt, a...);
  }

  // A server list that did not fit its table: the first line into the debug
  // log, then the second into the error log and the debug log, whatever the
  // detail level. The system has no last-error code to add here: 0.
  void ReportTableFull(std::u16string_view debugLine, std::u16string_view errorLine,
                       const char* func, int line) {
    const long lastError = 0;
    FormatLine(debugLine, line, lastError);
    DBG_LOG_PRINT(msg_, 1);
    FormatLine(errorLine, func, line, lastError);
    ErrLogWrite(1);
    DBG_LOG_PRINT(msg_, 1);
  }

  // The same trace on the console and in the debug log, at the same level.
  template <class... A>
  void PrtDbg(int level, std::u16string_view fmt, const A&... a) {
    Prt(level, fmt, a...);
    Dbg(level, fmt, a...);
  }

  // Console output: wide templates and 8-bit templates.
  template <class... A>
  void Con(std::u16string_view fmt, const A&... a) {
    FormatWide(conWide_, kMessageCap, fmt, {FmtArg(a)...});
    ConsoleWrite(conWide_);
  }
  template <class... A>
  void Con8(std::string_view fmt, const A&... a) {
    FmtResult r = FormatNarrow(conNarrow_, sizeof conNarrow_, fmt, {FmtArg(a)...});
    std::fwrite(conNarrow_, 1, r.length, con_.out);
  }
  void ConsoleWrite(const U16* text);
  void FlushConsole() { std::fflush(con_.out); }
  Console& console() { return con_; }

  // Log files: placed and opened at start-up, closed at the end of the capture.
  char errPath[kPathCap] = {0};
  char dbgPath[kPathCap] = {0};
  void CloseLogs();

 private:
  int OpenLog(LogStream& log, const char* path, const U16* text, bool isDebug);
  void WriteLog(LogStream& log, const U16* text);

  const OptionInfo& opt_;
  Console& con_;
  LogStream err_;
  LogStream dbg_;
  bool errFailed_ = false;
  bool dbgFailed_ = false;
  Codec logCodec_{Encoding::kCp932};
  Codec conCodec_{Encoding::kConsole};
  U16 msg_[kMessageCap] = {0};
  U16 conWide_[kMessageCap] = {0};
  char conNarrow_[kMessageCap] = {0};
  char bytes_[kMessageCap * 3] = {0};
};

}  // namespace nbl
