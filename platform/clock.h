// Wall-clock time and local-time conversion.
#pragma once

#include <cstdint>
#include <ctime>

namespace nbl {

// Seconds since 1970, the default clock of the program (tests inject their own).
int64_t SystemNow();

// Milliseconds since 1970: capture time stamps are compared with it.
int64_t SystemNowMs();

// Local calendar time of t; false when t cannot be converted.
bool LocalTime(int64_t t, std::tm* out);

void SleepMilliseconds(unsigned ms);

}  // namespace nbl
