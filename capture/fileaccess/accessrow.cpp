#include "capture/fileaccess/accessrow.h"

#include <cstring>
#include <string>

#include "capture/fileaccess/filestatus.h"
#include "capture/fileaccess/openfiles.h"
#include "capture/frame/nimbrel.h"
#include "capture/smb2/smb2msg.h"

namespace nbl {
namespace {

constexpr size_t kJoinedNameUnits = 255;

// The fields that make two rows the same connection.
bool SameConnection(const NBL_AccessInfo_ST& a, const NBL_AccessInfo_ST& b) {
  auto same = [](const U16* x, const U16* y) {
    return U16View(x, kTextUnits) == U16View(y, kTextUnits);
  };
  return same(a.ClientComputerName, b.ClientComputerName) &&
         same(a.ClientUserName, b.ClientUserName) && same(a.CL_IP, b.CL_IP) &&
         same(a.CL_Port, b.CL_Port) && same(a.SharePath, b.SharePath) &&
         a.ProcessId == b.ProcessId && a.SessionId == b.SessionId && a.TreeId == b.TreeId;
}

void DumpLastRow(Diag& diag, const LastRowRecord& last) {
  if (!diag.DbgOn(3)) return;
  const NBL_AccessInfo_ST& t = last.NBL_AccessInfoTmp;
  diag.ToDbg(u"----- Data Output -----------------------\n");
  diag.ToDbg(u"NBL_AccessInfoTmp.ProcessId=%I32u\n", t.ProcessId);
  diag.ToDbg(u"NBL_AccessInfoTmp.SessionId=%I64u\n", t.SessionId);
  diag.ToDbg(u"NBL_AccessInfoTmp.TreeId=%I32u\n", t.TreeId);
  diag.ToDbg(u"NBL_AccessInfoTmp.SV_IP=%s\n", t.SV_IP);
  diag.ToDbg(u"NBL_AccessInfoTmp.CL_IP=%s\n", t.CL_IP);
  diag.ToDbg(u"NBL_AccessInfoTmp.SV_Port=%s\n", t.SV_Port);
  diag.ToDbg(u"NBL_AccessInfoTmp.CL_Port=%s\n", t.CL_Port);
  diag.ToDbg(u"NBL_AccessInfoTmp.ClientComputerName=%s\n", t.ClientComputerName);
  diag.ToDbg(u"NBL_AccessInfoTmp.ClientUserName=%s\n", t.ClientUserName);
  diag.ToDbg(u"NBL_AccessInfoTmp.ClusterNodeName=%s\n", t.ClusterNodeName);
  diag.ToDbg(u"NBL_AccessInfoTmp.SharePath=%s\n", t.SharePath);
  diag.ToDbg(u"sBufferTmp=%s\n", last.sBufferTmp);
  diag.ToDbg(u"FileAccessStatusNpTmp=%d\n", last.FileAccessStatusNpTmp);
}

}  // namespace

void WriteAccessRow(Nimbrel& app, FileRowJob& job) {
  Diag& diag = app.diag;
  const FileRowJob& fv = job;
  const NBL_AccessInfo_ST& e = job.entry;
  LastRowRecord& last = app.lastRow;
  U16* sBuffer = job.sBuffer;
  std::u16string_view sharePath = U16View(e.SharePath, kTextUnits);

  FileNotifyResult r{kStatusNotFind, 0};
  if (!sharePath.empty())
    r = FileNotifyInfo(app, JoinSharePath(app, sharePath, U16View(sBuffer, kTextUnits)), fv.sec);
  int32_t status = r.status;
  diag.Dbg(2, u"ret=%d FileAccessStatus=%s\n", status, StatusWord(status));

  const bool sameConnection = SameConnection(e, last.NBL_AccessInfoTmp);
  if (job.command == kSmb2SetInfo) {
    status = kStatusRename;
    diag.Dbg(2, u"Rename ret=%d FileAccessStatus=%s\n", status, StatusWord(status));
    if (sameConnection && last.FileAccessStatusNpTmp == kStatusDelete) {
      U16 joined[kJoinedNameUnits + 1];
      FormatWide(joined, sizeof joined / sizeof joined[0], u"%s >> %s",
                 {last.sBufferTmp, static_cast<const U16*>(sBuffer)});
      U16Copy(sBuffer, kTextUnits, U16View(joined, kJoinedNameUnits + 1));
      if (diag.DbgOn(2)) {
        diag.ToDbg(u"Last access result matches Delete");
        diag.ToDbg(u"Rename sBuffer = %s\n", sBuffer);
      }
    }
  } else if (status == kStatusView && sameConnection &&
             U16View(sBuffer, kTextUnits) == U16View(last.sBufferTmp, kTextUnits) &&
             (last.FileAccessStatusNpTmp == kStatusView ||
              last.FileAccessStatusNpTmp == kStatusOpen)) {
    status = kStatusOpen;
    diag.Dbg(2, u"Last access result matches ret=%d FileAccessStatus=%s\n", status,
             StatusWord(status));
  }

  U16 attributes[kAttrTextCap];
  FileAttributesStatusDataSum(r.attributes, attributes);
  diag.Dbg(2, u"FileAttributesStatusDataSum=%s\n", attributes);

  // The name as the row shows it: after a local root with the system's
  // separator, and never with a control character that could split the row.
  std::u16string full = JoinSharePath(app, sharePath, U16View(sBuffer, kTextUnits));
  U16 name[kTextUnits];
  U16Copy(name, kTextUnits, std::u16string_view(full).substr(sharePath.size()));
  U16ReplaceControls(name, kTextUnits);
  const OptionInfo& o = app.options;
  if (diag.PrtOn(5) || o.PrintMode == 1) {
    diag.Con(u"> %s.%.6d,Access,%I32u,%llu,%I32u,%s,%s,%s,%s,%s,%s,%llu,%llu,%s,%s,%s%s\n",
             fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.TreeId, e.SV_IP, e.SV_Port, e.CL_IP,
             e.CL_Port, e.ClientComputerName, e.ClientUserName, e.IdleTime, e.SessionTime,
             attributes, StatusWord(status), e.SharePath, name);
    if (o.printf_sflushFlg != 0) diag.FlushConsole();
  }
  FmtResult row =
      diag.FormatRow(u"%s.%.6d,Access,%I32u,%llu,%I32u,%s,%s,%s,%s,%s,%s,%llu,%llu,%s,%s,%s%s\r\n",
                     fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.TreeId, e.SV_IP, e.SV_Port,
                     e.CL_IP, e.CL_Port, e.ClientComputerName, e.ClientUserName, e.IdleTime,
                     e.SessionTime, attributes, StatusWord(status), e.SharePath, name);
  app.accessLog.WriteRow(row.length);

  std::memcpy(&last.NBL_AccessInfoTmp, &e, sizeof e);
  U16Copy(last.sBufferTmp, kTextUnits, U16View(sBuffer, kTextUnits));
  last.FileAccessStatusNpTmp = status;
  DumpLastRow(diag, last);
}

}  // namespace nbl
