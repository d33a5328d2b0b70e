#include <windows.h>

#include <ctime>

#include "platform/fileattr.h"

namespace nbl {
namespace {

// File time to local file time to calendar fields, and back to seconds with
// the C library's local-time conversion; milliseconds are dropped.
int64_t Seconds(const FILETIME& ft) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
  std::tm t{};
  t.tm_year = st.wYear - 1900;
  t.tm_mon = st.wMonth - 1;
  t.tm_mday = st.wDay;
  t.tm_hour = st.wHour;
  t.tm_min = st.wMinute;
  t.tm_sec = st.wSecond;
  t.tm_isdst = -1;  // let the library decide daylight saving time
  return static_cast<int64_t>(_mktime64(&t));
}

std::wstring Wide(std::u16string_view s) {
  return std::wstring(s.begin(), s.end());
}

class Win32FileSystem : public FileSystemView {
 public:
  bool GetAttributes(std::u16string_view path, FileAttributeData* out) override {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &d)) return false;
    out->attributes = d.dwFileAttributes;
    out->lastWrite = Seconds(d.ftLastWriteTime);
    out->creation = Seconds(d.ftCreationTime);
    out->lastAccess = Seconds(d.ftLastAccessTime);
    return true;
  }
  int FindFileOrFolder(std::u16string_view path) override {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Wide(path).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FindClose(h);
    return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
  }
  bool IsLocalRoot(std::u16string_view) const override { return false; }
};

}  // namespace

std::unique_ptr<FileSystemView> OpenFileSystemView(const char* /*iniPath*/) {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace nbl
