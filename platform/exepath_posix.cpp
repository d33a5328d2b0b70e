#include <unistd.h>

#include <cstring>

#include "platform/exepath.h"

namespace nbl {

bool ExecutablePath(char* out, size_t cap) {
  if (out == nullptr || cap < 2) return false;
  ssize_t n = readlink("/proc/self/exe", out, cap);
  if (n <= 0 || static_cast<size_t>(n) >= cap) return false;  // unknown, or cut
  out[n] = 0;
  return true;
}

bool SplitDriveDir(const char* path, char* drive, size_t driveCap, char* dir, size_t dirCap) {
  if (driveCap == 0 || dirCap == 0) return false;
  drive[0] = 0;
  const char* slash = std::strrchr(path, '/');
  size_t n = slash ? static_cast<size_t>(slash - path) + 1 : 0;
  if (n >= dirCap) return false;
  std::memcpy(dir, path, n);
  dir[n] = 0;
  return true;
}

}  // namespace nbl
