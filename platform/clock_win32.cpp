#include <windows.h>

#include <ctime>

#include "platform/clock.h"

namespace nbl {

int64_t SystemNow() {
  return static_cast<int64_t>(_time64(nullptr));
}

int64_t SystemNowMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(t.QuadPart / 10000) - 11644473600000LL;  // 1601 to 1970
}

bool LocalTime(int64_t t, std::tm* out) {
  __time64_t tt = static_cast<__time64_t>(t);
  return _localtime64_s(out, &tt) == 0;
}

void SleepMilliseconds(unsigned ms) {
  Sleep(ms);
}

}  // namespace nbl
