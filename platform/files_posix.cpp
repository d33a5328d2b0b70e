#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

namespace nbl {
namespace {

// The exclusive lock stands for the Windows deny-write share mode: every
// instance of the program takes it, so a second one cannot write, and cannot
// rename, a file the first one holds.
int OpenLocked(const char* path, int flags, int* err) {
  int fd = ::open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *err = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int PathAccess(const char* path) {
  return ::access(path, F_OK) == 0 ? 0 : errno;
}

bool RenameNoReplace(const char* from, const char* to, int* err) {
  int dummy;
  if (err == nullptr) err = &dummy;
  // Refuse to move a file another process holds, as Windows does.
  int fd = ::open(from, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *err = errno;
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *err = errno;
    ::close(fd);
    return false;
  }
  int rc = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // File systems without RENAME_NOREPLACE: link fails on an existing name.
    rc = ::link(from, to);
    if (rc == 0) ::unlink(from);
  }
  if (rc != 0) *err = errno;
  ::close(fd);
  return rc == 0;
}

bool LogStream::Open(const char* path, int* err) {
  Close();
  int fd = OpenLocked(path, O_RDWR | O_CREAT | O_APPEND, err);
  if (fd < 0) return false;
  file_ = ::fdopen(fd, "a+b");
  if (file_ == nullptr) {
    *err = errno;
    ::close(fd);
    return false;
  }
  return true;
}

void LogStream::SetBuffer(size_t bytes) {
  if (file_ == nullptr || bytes == 0) return;
  char* b = static_cast<char*>(std::malloc(bytes));
  if (b == nullptr) return;
  if (std::setvbuf(file_, b, _IOFBF, bytes) != 0) {
    std::free(b);
    return;
  }
  std::free(buffer_);
  buffer_ = b;
}

bool LogStream::Write(const char* data, size_t n) {
  return file_ != nullptr && std::fwrite(data, 1, n, file_) == n;
}

void LogStream::Flush() {
  if (file_ != nullptr) std::fflush(file_);
}

void LogStream::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  std::free(buffer_);
  buffer_ = nullptr;
}

bool AccessFile::Open(const char* path, int* err) {
  Close();
  fd_ = OpenLocked(path, O_RDWR | O_CREAT | O_APPEND, err);
  return fd_ >= 0;
}

bool AccessFile::Write(const char* data, size_t n, long* written, int* err) {
  *written = 0;
  *err = 0;
  if (fd_ < 0) {
    *err = EBADF;
    return false;
  }
  ssize_t rc = ::write(fd_, data, n);
  if (rc < 0) {
    *err = errno;
    return false;
  }
  *written = static_cast<long>(rc);
  return rc > 0;
}

void AccessFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool AccessFile::is_open() const {
  return fd_ >= 0;
}

}  // namespace nbl
