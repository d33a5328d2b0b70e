#include "capture/frame/diag.h"

#include <cstring>

namespace nbl {

void Diag::ConsoleWrite(const U16* text) {
  size_t n = conCodec_.Encode(U16View(text, kMessageCap), bytes_, sizeof bytes_);
  std::fwrite(bytes_, 1, n, con_.out);
}

// Lines reach the file in code page 932 with CR LF line ends, as a text-mode
// stream writes them on Windows, so the logs read the same on both platforms.
void Diag::WriteLog(LogStream& log, const U16* text) {
  if (!log.is_open()) return;  // a log that failed to open is skipped
  char encoded[kMessageCap * 2];
  size_t n = logCodec_.Encode(U16View(text, kMessageCap), encoded, sizeof encoded);
  size_t out = 0;
  for (size_t i = 0; i < n && out + 2 < sizeof bytes_; ++i) {
    if (encoded[i] == '\n') bytes_[out++] = '\r';
    bytes_[out++] = encoded[i];
  }
  log.Write(bytes_, out);
  if (opt_.FilefflushFlg != 0) log.Flush();
}

int Diag::OpenLog(LogStream& log, const char* path, const U16* text, bool isDebug) {
  bool existed = PathAccess(path) == 0;
  int err = 0;
  if (!log.Open(path, &err)) {
    Con(u"file open error !!  [%s]\n", SystemToWide(path));
    if (isDebug)
      ToErr(u"[%hs][%d][Err]: file open error !! [%s]\n", kDbgLogPrintFunc, __LINE__,
            SystemToWide(path));
    return 1;
  }
  if (opt_.PrintBaffuer > 0) log.SetBuffer(static_cast<size_t>(opt_.PrintBaffuer) * 512u);
  if (!existed) WriteLog(log, text);
  return 0;
}

int Diag::ErrLogWrite(int flag) {
  if (flag == 0) return OpenLog(err_, errPath, msg_, false);
  WriteLog(err_, msg_);
  return 0;
}

int Diag::DBG_LOG_PRINT(const U16* text, int flag) {
  if (flag == 0) return OpenLog(dbg_, dbgPath, text, true);
  WriteLog(dbg_, text);
  return 0;
}

void Diag::CloseLogs() {
  dbg_.Close();
  err_.Close();
}

}  // namespace nbl
