#include "capture/fileaccess/request.h"

#include <cstring>
#include <memory>

#include "capture/fileaccess/accessrow.h"
#include "capture/fileaccess/openfiles.h"
#include "capture/frame/nimbrel.h"
#include "capture/smb2/clients.h"
#include "capture/smb2/sides.h"

namespace nbl {
namespace {

// Named pipes: a name holding one of these anywhere is no file access.
constexpr const char16_t* kPipeNames[] = {u"spoolss", u"winreg", u"samr",   u"srvsvc",
                                          u"netdfs",  u"lsarpc", u"wkssvc", u"MsFteWds"};
constexpr std::u16string_view kZoneStream = u":Zone.Identifier";
constexpr uint16_t kLargestName = 510;  // bytes: 255 UTF-16 units

// The name of a CREATE request into sBuffer; false when the request is not
// a file access to handle.
bool CreateName(Nimbrel& app, const Smb2Message& msg) {
  Diag& diag = app.diag;
  U16* sBuffer = app.sBuffer;
  auto nameLength = msg.CreateNameLength();
  if (msg.BodyLength() < 8 || !nameLength) {
    diag.Dbg(2, u"<< Recv Size Short\n");
    return false;
  }
  diag.Dbg(2, u"CTRATE_REQUEST->NameLength=%d\n", *nameLength);
  if (*nameLength > kLargestName) {
    diag.ToErr(u"[%hs][%d][Warn]: SMB2_CTRATE_REQUEST CTRATE_REQUEST->NameLength=%d\n", kMainFunc,
               __LINE__, *nameLength);
    msg.CopyCreateName(kLargestName, sBuffer, kTextUnits);
    if (diag.DbgOn(2)) {
      sBuffer[128] = 0;
      diag.ToDbg(u"<< BF sBuffer = %s (バッファーオーバーフロー)\n", sBuffer);
    }
    return false;
  }
  msg.CopyCreateName(*nameLength, sBuffer, kTextUnits);
  diag.Dbg(2, u"<< BF sBuffer = %s (バッファー内)\n", sBuffer);
  std::u16string_view name = U16View(sBuffer, kTextUnits);
  size_t zone = name.find(kZoneStream);
  if (zone != std::u16string_view::npos) sBuffer[zone] = 0;
  diag.Dbg(2, u"<< AF sBuffer = %s\n", sBuffer);
  name = U16View(sBuffer, kTextUnits);
  bool pipe = name.empty();
  for (const char16_t* p : kPipeNames) pipe = pipe || name.find(p) != std::u16string_view::npos;
  if (pipe) {
    diag.Dbg(2, u"<< Named Pipe. Skip because there is no file access information. [%s][%d]\n",
             sBuffer, name.size());
    return false;
  }
  return true;
}

// The new name of a SET_INFO rename into sBuffer.
bool RenameName(Nimbrel& app, const Smb2Message& msg) {
  Diag& diag = app.diag;
  const uint32_t body = msg.BodyLength();
  auto infoClass = body >= 32 ? msg.SetInfoFileInfoClass() : std::nullopt;
  auto low = msg.RenameLengthLow();
  auto high = msg.RenameLengthHigh();
  if (!infoClass || *infoClass != kFileRenameInformation || body <= 50 || !low || !high) {
    diag.Dbg(2, u"<< Recv Size Short\n");
    return false;
  }
  diag.Dbg(2, u"SetInfo_Length %x %x\n", *low, *high);
  const uint32_t length = static_cast<uint32_t>(*high) * 256u + *low;
  diag.Dbg(2, u"SetInfo_Length_int %d\n", length);
  if (body < length + 52) {
    diag.Dbg(2, u"<< Recv Size Short\n");
    return false;
  }
  std::memset(app.sBuffer, 0, sizeof app.sBuffer);
  msg.CopyRenameName(length, app.sBuffer, kTextUnits);  // cut at 511 units
  diag.Dbg(2, u"Rename sBuffer %s\n", app.sBuffer);
  if (app.sBuffer[0] == 0) {
    diag.Dbg(2, u"<< File name Not Find\n");
    return false;
  }
  return true;
}

// The entry the request belongs to: in use for its tree, waiting for its
// connection, or a free one. -1 when the table is full.
int32_t LookUpEntry(Nimbrel& app, const Smb2Header& h) {
  Diag& diag = app.diag;
  AccessInfoTable& table = app.accessInfo;
  const U16* ip = app.frame.CL_IP;
  int32_t index = table.NBL_AccessInfoGet(h.TreeId, h.ProcessId, h.SessionId, ip, NBL_USE, &diag);
  if (index >= 0) {
    diag.Prt(2, u"Access information search (NBL_USE) Find\n");
    diag.Prt(2, u"SharePath Empty Check\n");
    diag.Dbg(2, u"<< Access information search (NBL_USE) Find\n");
    diag.Dbg(2, u"<< SharePath Empty Check\n");
    if (CorrelateSharePath(app, index, ip, app.sBuffer, CorrelationPoint::kInUseEntry) == 0 &&
        diag.DbgOn(2))
      diag.ToErr(u"[%hs][%d][Warn]: NBL_CheckExistFileOrFolder Not Find Error.\n", kMainFunc,
                 __LINE__);
    return index;
  }
  diag.Dbg(2, u"<< Access information search (NBL_USE) Not Find\n");
  index = table.NBL_AccessInfoGet(0, h.ProcessId, h.SessionId, ip, NBL_WAIT, &diag);
  if (index >= 0) {
    diag.PrtDbg(2, u"Access information search (NBL_WAIT) Find\n");
    return index;
  }
  diag.Dbg(2, u"<< Access information search (NBL_WAIT) Not Find\n");
  index = table.NBL_AccessInfoGet(0, 0, 0, ip, NBL_CLR, &diag);
  if (index < 0) {
    diag.Dbg(2, u"<< Access information search (NBL_CLR) Not Find\n");
    diag.ToErr(u"[%hs][%d][Warn]: NBL_AccessInfo_ST 空きテーブルなし\n", kMainFunc, __LINE__);
    diag.Prt(2, u"ERROR : NBL_AccessInfo_ST Empty table Not Find\n");
    return -1;
  }
  diag.Dbg(2, u"<< Access information search (NBL_CLR) Setup\n");
  if (CorrelateSharePath(app, index, ip, app.sBuffer, CorrelationPoint::kFreeEntry) == 0)
    diag.ToErr(u"[%hs][%d][Warn]: NBL_CheckExistFileOrFolder Not Find Error.\n", kMainFunc,
               __LINE__);
  return index;
}

void DumpDataSet(Nimbrel& app, int32_t i) {
  Diag& diag = app.diag;
  if (!diag.DbgOn(3)) return;
  diag.ToDbg(u"----- Data Set -----------------------\n");
  diag.ToDbg(u"NBL_AccessInfoIndex=%d\n", i);
  DumpEntryFields(diag, app.accessInfo, i);
  diag.ToDbg(u"sBuffer=%s\n", app.sBuffer);
}

// Resolves the client's name, correlates a network share path, and sets
// the entry from the request and the session.
void RefreshEntry(Nimbrel& app, int32_t index, const Smb2Header& h, int32_t sessionIndex) {
  Diag& diag = app.diag;
  if (diag.DbgOn(2))
    diag.ToErr(u"[%hs][%d][Warn]: sesi502_cname=%s\n", kMainFunc, __LINE__,
               app.sessions[sessionIndex].sesi502_cname);
  ClientName name = ResolveClientName(app, sessionIndex);
  if (diag.DbgOn(2)) {
    diag.ToErr(u"[%hs][%d][Info]: inet_pton GetLastError=%d\n", kMainFunc, __LINE__, 0);
    diag.ToErr(u"[%hs][%d][Info]: getnameinfo ret=%d GetLastError=%d\n", kMainFunc, __LINE__,
               name.lookupResult, 0);
  }
  diag.Dbg(2, u"<< Wide Character conversion : %s\n", name.name);
  NBL_AccessInfo_ST& e = app.accessInfo[index];
  if (e.SharePath[0] == u'\\') {
    diag.Dbg(2, u"<< Network Path : NBL_AccessInfo[%d].SharePath=%s\n", index, e.SharePath);
    if (CorrelateSharePath(app, index, app.frame.CL_IP, app.sBuffer,
                           CorrelationPoint::kNetworkPath) == 0 &&
        diag.DbgOn(2))
      diag.ToErr(u"[%hs][%d][Warn]: NBL_CheckExistFileOrFolder Not Find Error.\n", kMainFunc,
                 __LINE__);
  }
  FillEntry(app, index, NBL_USE, h, sessionIndex, name.name);
  DumpDataSet(app, index);
}

}  // namespace

void HandleFileRequest(Nimbrel& app, const Smb2Message& msg, int32_t sessionIndex) {
  Diag& diag = app.diag;
  const Smb2Header h = msg.Header();
  const bool create = h.Command == kSmb2Create;
  std::memset(app.sBuffer, 0, sizeof app.sBuffer);
  if (create) {
    diag.Prt(1, u"SMB2_CTRATE_REQUEST ---START ---\n");
    diag.Dbg(1, u"<< SMB2_CTRATE_REQUEST ---START ---\n");
  } else {
    diag.Prt(1, u"SET_INFO_REQUEST ---START ---\n");
    diag.Dbg(1, u"<< SET_INFO_REQUEST ---- START ----\n");
  }
  if (create ? CreateName(app, msg) : RenameName(app, msg)) {
    int32_t index = LookUpEntry(app, h);
    if (diag.DbgOn(2))
      diag.ToErr(u"[%hs][%d][Info]: NBL_AccessInfoIndex=%d\n", kMainFunc, __LINE__, index);
    if (index >= 0) {
      RefreshEntry(app, index, h, sessionIndex);
      auto job = std::make_unique<FileRowJob>();
      std::memcpy(&job->entry, &app.accessInfo[index], sizeof job->entry);
      std::memcpy(job->sBuffer, app.sBuffer, sizeof job->sBuffer);
      job->command = h.Command;
      job->sec = app.frame.sec;
      job->usec = app.frame.usec;
      std::memcpy(job->timeText, app.frame.timeText, sizeof job->timeText);
      app.rows.SubmitFile(app, std::move(job));
      std::memset(app.sBuffer, 0, sizeof app.sBuffer);
    }
  }
  diag.Prt(1, u"SMB2_CTRATE_REQUEST or SET_INFO_REQUEST ---END ---\n");
  diag.Dbg(1, u"<< SMB2_CTRATE_REQUEST or SET_INFO_REQUEST ---END ---\n\n");
}

}  // namespace nbl
