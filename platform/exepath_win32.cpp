#include <stdlib.h>
#include <windows.h>

#include "platform/exepath.h"

namespace nbl {

bool ExecutablePath(char* out, size_t cap) {
  if (out == nullptr || cap < 2) return false;
  DWORD n = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(cap));
  // A full buffer means the path was cut.
  return n != 0 && n < cap;
}

bool SplitDriveDir(const char* path, char* drive, size_t driveCap, char* dir, size_t dirCap) {
  return _splitpath_s(path, drive, driveCap, dir, dirCap, nullptr, 0, nullptr, 0) == 0;
}

}  // namespace nbl
