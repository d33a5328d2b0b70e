#include <time.h>
#include <unistd.h>

#include "platform/clock.h"

namespace nbl {

int64_t SystemNow() {
  return static_cast<int64_t>(::time(nullptr));
}

int64_t SystemNowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool LocalTime(int64_t t, std::tm* out) {
  time_t tt = static_cast<time_t>(t);
  return ::localtime_r(&tt, out) != nullptr;
}

void SleepMilliseconds(unsigned ms) {
  ::usleep(static_cast<useconds_t>(ms) * 1000u);
}

}  // namespace nbl
