// Where the running executable lives.
#pragma once

#include <cstddef>

namespace nbl {

#ifdef _WIN32
inline constexpr char kDirSep = '\\';
#else
inline constexpr char kDirSep = '/';
#endif

// Full path of the running executable into out (cap bytes). False when the
// system cannot tell it or it does not fit.
bool ExecutablePath(char* out, size_t cap);

// Splits a full path into its drive part ("C:" on Windows, empty on POSIX)
// and its directory part, which ends with the directory separator. False
// when a part does not fit its buffer.
bool SplitDriveDir(const char* path, char* drive, size_t driveCap, char* dir, size_t dirCap);

}  // namespace nbl
