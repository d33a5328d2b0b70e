#include <io.h>
#include <share.h>
#include <stdlib.h>
#include <windows.h>

#include <cerrno>

#include "platform/files.h"

namespace nbl {

int PathAccess(const char* path) {
  return _access_s(path, 0);
}

bool RenameNoReplace(const char* from, const char* to, int* err) {
  if (MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH)) return true;
  if (err) *err = static_cast<int>(GetLastError());
  return false;
}

bool LogStream::Open(const char* path, int* err) {
  Close();
  file_ = _fsopen(path, "ab+", _SH_DENYWR);
  if (file_ == nullptr) {
    *err = errno;
    return false;
  }
  return true;
}

void LogStream::SetBuffer(size_t bytes) {
  if (file_ == nullptr || bytes == 0) return;
  char* b = static_cast<char*>(malloc(bytes));
  if (b == nullptr) return;
  if (setvbuf(file_, b, _IOFBF, bytes) != 0) {
    free(b);
    return;
  }
  free(buffer_);
  buffer_ = b;
}

bool LogStream::Write(const char* data, size_t n) {
  return file_ != nullptr && fwrite(data, 1, n, file_) == n;
}

void LogStream::Flush() {
  if (file_ != nullptr) fflush(file_);
}

void LogStream::Close() {
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
  free(buffer_);
  buffer_ = nullptr;
}

bool AccessFile::Open(const char* path, int* err) {
  Close();
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *err = static_cast<int>(GetLastError());
    return false;
  }
  SetFilePointer(h, 0, nullptr, FILE_END);
  handle_ = h;
  return true;
}

bool AccessFile::Write(const char* data, size_t n, long* written, int* err) {
  DWORD done = 0;
  *err = 0;
  BOOL ok = handle_ != nullptr &&
            WriteFile(static_cast<HANDLE>(handle_), data, static_cast<DWORD>(n), &done, nullptr);
  *written = static_cast<long>(done);
  if (!ok) *err = static_cast<int>(GetLastError());
  return ok && done > 0;
}

void AccessFile::Close() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool AccessFile::is_open() const {
  return handle_ != nullptr;
}

}  // namespace nbl
