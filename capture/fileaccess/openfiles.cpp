#include "capture/fileaccess/openfiles.h"

#include <cstring>

#include "capture/frame/nimbrel.h"

namespace nbl {
namespace {

constexpr char kOpenFileFunc[] = "NBL_SMB_OpenFileGet_WinApi";

}  // namespace

std::u16string JoinSharePath(Nimbrel& app, std::u16string_view root, std::u16string_view name) {
  std::u16string full(root);
  size_t at = full.size();
  full += name;
  if (app.Files().IsLocalRoot(root))
    for (size_t i = at; i < full.size(); ++i)
      if (full[i] == u'\\') full[i] = u'/';
  return full;
}

int32_t NBL_SMB_OpenFileGet_WinApi(Nimbrel& app) {
  const ServerList<ServerOpenFile>& list = app.Server().OpenFiles();
  OpenFileTableState& st = app.openFileState;
  std::memset(app.openFiles.data(), 0, sizeof(NBL_SmbOpenFile_ST) * static_cast<size_t>(st.filled));
  st.filled = 0;
  const int32_t capacity = app.openFiles.count();
  for (const ServerOpenFile& f : list.items) {
    if (st.filled >= capacity - 1) {
      app.diag.ReportTableFull(
          u"<< NBL_SMB_OpenFileGet_WinApi[%d][%ld] : NetFileEnum buf MAX. (Adjust managed "
          u"memory)\n",
          u"NBL_SMB_OpenFileGet_WinApi[%hs][%d][%ld][Err] : NetFileEnum buf MAX. (Adjust managed "
          u"memory)\n",
          kOpenFileFunc, __LINE__);
      break;
    }
    if (!f.path.empty() && f.path[0] == u'\\') continue;  // named pipes
    NBL_SmbOpenFile_ST& r = app.openFiles[st.filled];
    r.FileId = f.id;
    U16Copy(r.Path, kTextUnits, f.path);
    U16Copy(r.ShareRelativePath, kTextUnits, f.shareRelativePath);
    U16Copy(r.ClientComputerName, kTextUnits, f.clientAddress);
    U16Copy(r.UserName, kTextUnits, f.username);
    ++st.filled;
  }
  return st.filled;
}

int NBL_CheckExistFileOrFolder(Nimbrel& app, const U16* path, int* result) {
  *result = path == nullptr ? 0 : app.Files().FindFileOrFolder(U16View(path, kTextUnits));
  return *result > 0 ? 1 : 0;
}

int32_t CorrelateSharePath(Nimbrel& app, int32_t entryIndex, const U16* clientIp,
                           const U16* sBuffer, CorrelationPoint point) {
  Diag& diag = app.diag;
  const int32_t n = NBL_SMB_OpenFileGet_WinApi(app);
  if (point != CorrelationPoint::kNetworkPath) diag.Dbg(2, u"<< SMBOpenFileGetCnt=%d\n", n);
  std::u16string_view ip = U16View(clientIp, kTextUnits);
  std::u16string_view name = U16View(sBuffer, kTextUnits);
  int32_t matched = 0;
  for (int32_t i = 0; i < n; ++i) {
    NBL_SmbOpenFile_ST& r = app.openFiles[i];
    if (point == CorrelationPoint::kInUseEntry)
      diag.Dbg(2, u"<< ClientComputerName=%s , CL_IP=%s\n", r.ClientComputerName, clientIp);
    if (U16View(r.ClientComputerName, kTextUnits) != ip) continue;
    diag.Dbg(2, u"<< BF NBL_SmbOpenFile[%d].Path=%s\n", i, r.Path);
    diag.Dbg(2, u"<< BF NBL_SmbOpenFile[%d].ShareRelativePath=%s\n", i, r.ShareRelativePath);
    std::u16string_view rel = U16View(r.ShareRelativePath, kTextUnits);
    if (!rel.empty()) {
      size_t at = U16View(r.Path, kTextUnits).find(rel);
      if (at != std::u16string_view::npos) r.Path[at] = 0;
    }
    diag.Dbg(2, u"<< AF NBL_SmbOpenFile[%d].Path=%s\n", i, r.Path);
    // The root and the name within sAccessFullPath's 511 units; a longer
    // pair is cut and then simply does not exist.
    U16 sAccessFullPath[kTextUnits];
    U16Copy(sAccessFullPath, kTextUnits, JoinSharePath(app, U16View(r.Path, kTextUnits), name));
    int nOutFileOrFolder = 0;
    NBL_CheckExistFileOrFolder(app, sAccessFullPath, &nOutFileOrFolder);
    if (diag.DbgOn(2)) {
      diag.ToDbg(u"----------------------------\n");
      diag.ToDbg(u"sBuffer=%s\n", sBuffer);
      diag.ToDbg(u"NBL_SmbOpenFile[%d].Path=%s\n", i, r.Path);
      diag.ToDbg(u"NBL_SmbOpenFile[%d].ShareRelativePath=%s\n", i, r.ShareRelativePath);
      diag.ToDbg(u"sAccessFullPath=%s\n", sAccessFullPath);
      diag.ToDbg(u"nOutFileOrFolder=%d\n", nOutFileOrFolder);
      diag.ToDbg(u"----------------------------\n");
    }
    ++matched;
    if (nOutFileOrFolder > 0) {
      U16Copy(app.accessInfo[entryIndex].SharePath, kTextUnits, U16View(r.Path, kTextUnits));
      break;
    }
  }
  return matched;
}

}  // namespace nbl
