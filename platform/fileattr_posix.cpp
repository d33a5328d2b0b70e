// Files of a Samba server. A path \\server\share\rest names a share of this
// server: the share's local folder comes from Samba's configuration (testparm,
// once per share) and rest follows with '/'. Attributes are the DOS
// attributes Samba keeps in the user.DOSATTRIB extended attribute; a file
// without them gets folder 0x10 or archive 0x20, plus read-only 0x1 when
// nobody may write it. Times: creation is the birth time (statx), last write
// mtime, last access the later of atime and ctime (see GetAttributes).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/codepage.h"
#include "platform/fileattr.h"
#include "platform/samba_status.h"
#include "platform/spawn_posix.h"

namespace nbl {
namespace {

class SambaFileSystem : public FileSystemView {
 public:
  explicit SambaFileSystem(const char* iniPath) : samba_(ReadSambaSettings(iniPath)) {}

  bool GetAttributes(std::u16string_view path, FileAttributeData* out) override {
    std::string local;
    if (!LocalPath(path, &local)) return false;
    struct statx sx;
    if (statx(AT_FDCWD, local.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) !=
        0)
      return false;
    // Last access as NTFS keeps it moves on writes too; Linux leaves atime
    // alone on writes but moves the status-change time (writes, truncation,
    // renames), so the later of the two stands for it.
    out->lastAccess = std::max(sx.stx_atime.tv_sec, sx.stx_ctime.tv_sec);
    out->lastWrite = sx.stx_mtime.tv_sec;
    // Without a birth time the last write is the closest there is.
    out->creation = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    out->attributes = DosAttributes(local, sx);
    return true;
  }

  int FindFileOrFolder(std::u16string_view path) override {
    std::string local;
    struct stat st;
    if (!LocalPath(path, &local) || stat(local.c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 2 : 1;
  }

  bool IsLocalRoot(std::u16string_view sharePath) const override {
    return !sharePath.empty() && sharePath[0] == u'/';
  }

 private:
  // user.DOSATTRIB begins with the attributes as a hex text ("0x20").
  static uint32_t DosAttributes(const std::string& local, const struct statx& sx) {
    char buf[256];
    ssize_t n = getxattr(local.c_str(), "user.DOSATTRIB", buf, sizeof buf - 1);
    if (n > 2 && buf[0] == '0' && (buf[1] == 'x' || buf[1] == 'X')) {
      buf[n] = 0;
      return static_cast<uint32_t>(std::strtoul(buf, nullptr, 16));
    }
    uint32_t a = S_ISDIR(sx.stx_mode) ? kAttrDirectory : kAttrArchive;
    if ((sx.stx_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) a |= kAttrReadOnly;
    return a;
  }

  // \\server\share\rest to the share's folder + /rest; a local path as it is.
  bool LocalPath(std::u16string_view path, std::string* out) {
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
      size_t shareStart = path.find(u'\\', 2);
      if (shareStart == std::u16string_view::npos) return false;
      ++shareStart;
      size_t shareEnd = path.find(u'\\', shareStart);
      std::u16string_view share =
          path.substr(shareStart, shareEnd == std::u16string_view::npos ? std::u16string_view::npos
                                                                        : shareEnd - shareStart);
      std::string root = ShareFolder(WideToSystem(share));
      if (root.empty()) return false;
      std::u16string rest(shareEnd == std::u16string_view::npos ? std::u16string_view()
                                                                : path.substr(shareEnd));
      for (char16_t& c : rest)
        if (c == u'\\') c = u'/';
      *out = root + WideToSystem(rest);
      return true;
    }
    *out = WideToSystem(path);
    return !out->empty();
  }

  std::string ShareFolder(const std::string& share) {
    auto it = shares_.find(share);
    if (it != shares_.end()) return it->second;
    std::string folder;
    if (RunAndRead({samba_.testparm, "-s", "--section-name=" + share, "--parameter-name=path",
                    samba_.smbConf},
                   &folder) != 0)
      folder.clear();
    while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
    shares_[share] = folder;
    return folder;
  }

  SambaSettings samba_;
  std::map<std::string, std::string> shares_;  // share name: local folder ("" for none)
};

}  // namespace

std::unique_ptr<FileSystemView> OpenFileSystemView(const char* iniPath) {
  return std::make_unique<SambaFileSystem>(iniPath);
}

}  // namespace nbl
