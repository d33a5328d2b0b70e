// What the file system says about a file: its attributes and times
// (GetFileAttributesExW), and whether a path names a file or a folder
// (FindFirstFileW).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/text.h"

namespace nbl {

inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;

struct FileAttributeData {
  uint32_t attributes = 0;  // Windows file attribute bits
  // Seconds since 1970, milliseconds dropped, as the local-time round trip of
  // the file times gives them.
  int64_t creation = 0;
  int64_t lastAccess = 0;
  int64_t lastWrite = 0;
};

class FileSystemView {
 public:
  virtual ~FileSystemView() = default;
  // False when the path's attributes cannot be read (missing, no access).
  virtual bool GetAttributes(std::u16string_view path, FileAttributeData* out) = 0;
  // 0: nothing there; 1: a file; 2: a folder.
  virtual int FindFileOrFolder(std::u16string_view path) = 0;
  // True when a share path is a local folder (not \\server\share\); names
  // after such a root use the system's separator.
  virtual bool IsLocalRoot(std::u16string_view sharePath) const = 0;
};

// The system's file system. iniPath names the program's settings; on POSIX its
// section "Samba" says where smb.conf and testparm are, to map network
// paths (\\server\share\name) of this server to their local folders.
std::unique_ptr<FileSystemView> OpenFileSystemView(const char* iniPath);

}  // namespace nbl
