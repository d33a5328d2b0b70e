#include <time.h>
#include <unistd.h>

#include "platform/clock.h"

namespace nbl {

int64_t SystemNow() {
  return static_cast<int64_t>(::time(nullptr));
}

bool LocalTime(int64_t t, std::tm* out) {
  time_t tt = static_cast<time_t>(t);
  return ::localtime_r(&tt, out) != nullptr;
}

void SleepMilliseconds(unsigned ms) {
  ::usleep(static_cast<useconds_t>(ms) * 1000u);
}

}  // namespace nbl
