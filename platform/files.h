// File operations with the sharing rules the logs need.
#pragma once

#include <cstddef>
#include <cstdio>

namespace nbl {

// System error code of a missing file (ENOENT / ERROR_FILE_NOT_FOUND).
inline constexpr int kNoSuchFile = 2;

// Existence test: 0 when the path exists, kNoSuchFile when it does not,
// another system error code otherwise.
int PathAccess(const char* path);

// Renames without replacing an existing file at `to`. A file that another
// process holds open through LogStream or AccessFile cannot be renamed.
// On failure *err gets the system error code.
bool RenameNoReplace(const char* from, const char* to, int* err);

// The error and debug logs: opened for appending and reading; other processes
// may read the file but not write it (on POSIX an exclusive advisory lock that
// every instance of the program takes).
class LogStream {
 public:
  LogStream() = default;
  ~LogStream() { Close(); }
  LogStream(const LogStream&) = delete;
  LogStream& operator=(const LogStream&) = delete;

  bool Open(const char* path, int* err);
  // Full buffering with a buffer of this many bytes (0 keeps the default).
  void SetBuffer(size_t bytes);
  bool Write(const char* data, size_t n);
  void Flush();
  void Close();
  bool is_open() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
  char* buffer_ = nullptr;
};

// The access log: created when missing, written at its end with one system
// write per row; others may read it but not write it.
class AccessFile {
 public:
  AccessFile() = default;
  ~AccessFile() { Close(); }
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  bool Open(const char* path, int* err);
  // One system write; *written gets the bytes written, *err the error code.
  bool Write(const char* data, size_t n, long* written, int* err);
  void Close();
  bool is_open() const;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace nbl
