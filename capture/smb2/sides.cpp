#include "capture/smb2/sides.h"

#include <string>

#include "capture/fileaccess/request.h"
#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"
#include "capture/smb2/clients.h"

namespace nbl {
namespace {

enum class Event { kConnect, kAccess, kDisConnect };

// Copies a text into an entry field; control characters become '?' so that a
// name from the network or the server cannot split or forge a row.
void SetText(U16* field, std::u16string_view text) {
  U16Copy(field, kTextUnits, text);
  U16ReplaceControls(field, kTextUnits);
}

// Sets an entry from the current message and the client's session.
void SetEntry(Nimbrel& app, int32_t index, int32_t state, const Smb2Header& h, int32_t sessionIndex,
              bool request, const std::u16string* sharePath) {
  Diag& diag = app.diag;
  ClientName name = ResolveClientName(app, sessionIndex);
  diag.Dbg(
      2, request ? u"<< Wide Character conversion : %s\n" : u">> Wide Character conversion : %s\n",
      name.name);
  if (sharePath != nullptr) SetText(app.accessInfo[index].SharePath, *sharePath);
  FillEntry(app, index, state, h, sessionIndex, name.name);
  DumpAccessInfo(diag, app.accessInfo, index);
}

// Formats the row (and its console echo) now, from the entry as the event
// left it; it reaches the log behind any file row still waiting.
void WriteTreeRow(Nimbrel& app, Event event, int32_t index) {
  Diag& diag = app.diag;
  const FrameValues& fv = app.frame;
  const NBL_AccessInfo_ST& e = app.accessInfo[index];
  std::u16string echo;
  if (diag.PrtOn(3) || app.options.PrintMode == 1) {
    switch (event) {
      case Event::kConnect:
        echo = FormatToString(
            u"> %s.%.6d,Connect,%I32u,%llu,,%s,%s,%s,%s,%s,%s,%llu,%llu,,%s\n",
            {fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.SV_IP, e.SV_Port, e.CL_IP, e.CL_Port,
             e.ClientComputerName, e.ClientUserName, e.IdleTime, e.SessionTime, e.SharePath});
        break;
      case Event::kAccess:
        echo = FormatToString(u"> %s.%.6d,Access,%I32u,%llu,%I32u,%s,%s,%s,%s,%s,%s,%llu,%llu,%s\n",
                              {fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.TreeId, e.SV_IP,
                               e.SV_Port, e.CL_IP, e.CL_Port, e.ClientComputerName,
                               e.ClientUserName, e.IdleTime, e.SessionTime, e.SharePath});
        break;
      case Event::kDisConnect:
        echo = FormatToString(
            u"> %s.%.6d,DisConnect,%I32u,%llu,%I32u,%s,%s,%s,%s,%s,%s,%llu,%llu,\n",
            {fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.TreeId, e.SV_IP, e.SV_Port, e.CL_IP,
             e.CL_Port, e.ClientComputerName, e.ClientUserName, e.IdleTime, e.SessionTime});
        break;
    }
  }
  FmtResult row;
  switch (event) {
    case Event::kConnect:
      row = diag.FormatRow(u"%s.%.6d,Connect,%I32u,%llu,,%s,%s,%s,%s,%s,%s,%llu,%llu,,%s\r\n",
                           fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.SV_IP, e.SV_Port,
                           e.CL_IP, e.CL_Port, e.ClientComputerName, e.ClientUserName, e.IdleTime,
                           e.SessionTime, e.SharePath);
      break;
    case Event::kAccess:
      row = diag.FormatRow(u"%s.%.6d,Access,%I32u,%llu,%I32u,%s,%s,%s,%s,%s,%s,%llu,%llu,,%s\r\n",
                           fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.TreeId, e.SV_IP,
                           e.SV_Port, e.CL_IP, e.CL_Port, e.ClientComputerName, e.ClientUserName,
                           e.IdleTime, e.SessionTime, e.SharePath);
      break;
    case Event::kDisConnect:
      row = diag.FormatRow(u"%s.%.6d,DisConnect,%I32u,%llu,%I32u,%s,%s,%s,%s,%s,%s,%llu,%llu,,\r\n",
                           fv.timeText, fv.usec, e.ProcessId, e.SessionId, e.TreeId, e.SV_IP,
                           e.SV_Port, e.CL_IP, e.CL_Port, e.ClientComputerName, e.ClientUserName,
                           e.IdleTime, e.SessionTime);
      break;
  }
  app.rows.SubmitText(app, echo, row.length);
}

int32_t Find(Nimbrel& app, const Smb2Header& h, uint32_t treeId, int32_t mode) {
  return app.accessInfo.NBL_AccessInfoGet(treeId, h.ProcessId, h.SessionId, app.frame.CL_IP, mode,
                                          &app.diag);
}

void TreeConnectRequest(Nimbrel& app, const Smb2Message& msg, int32_t sessionIndex) {
  Diag& diag = app.diag;
  diag.Prt(1, u"SMB2_TREE_COMMECT_REQUEST ---START ---\n");
  diag.Dbg(1, u"<< SMB2_TREE_COMMECT_REQUEST ---START ---\n");
  const Smb2Header h = msg.Header();
  // The path, within the captured bytes and leaving room in SharePath for the
  // backslash that is appended.
  U16 path[kTextUnits] = {0};
  msg.CopyTreeConnectPath(msg.TreeConnectPathLength().value_or(0), path, kTextUnits - 1);
  std::u16string_view pathView = U16View(path, kTextUnits);
  int32_t index = -1;
  if (pathView.find(u"IPC") != std::u16string_view::npos) {
    diag.Dbg(2, u"<< IPC:%s\n", path);
  } else if ((index = Find(app, h, 0, NBL_WAIT)) >= 0) {
    app.accessInfo.Clear(index);
    diag.Dbg(2, u"<< Access information search (NBL_WAIT) Find / Clear\n");
  } else {
    diag.Dbg(2, u"<< Access information search (NBL_WAIT) Not Find\n");
    if ((index = Find(app, h, h.TreeId, NBL_USE)) >= 0) {
      app.accessInfo.Clear(index);
      diag.Dbg(2, u"<< Access information search (NBL_USE) Find / Clear\n");
    } else {
      diag.Dbg(2, u"<< Access information search (NBL_USE) Not Find\n");
      if ((index = Find(app, h, 0, NBL_CLR)) >= 0) {
        diag.Dbg(2, u"<< Access information search (NBL_CLR) Setup\n");
        app.accessInfo.Clear(index);
      } else {
        diag.Dbg(2, u"<< Access information search (NBL_CLR) Not Find\n");
        diag.ToErr(u"[%hs][%d][Warn]: NBL_AccessInfo_ST Empty table Not Find\n", kMainFunc,
                   __LINE__);
        diag.Prt(2, u"ERROR : NBL_AccessInfo_ST Empty table Not Find\n");
        diag.Dbg(2, u"ERROR : NBL_AccessInfo_ST Empty table Not Find\n");
      }
    }
  }
  if (index >= 0) {
    std::u16string sharePath(pathView);
    sharePath += u'\\';
    SetEntry(app, index, NBL_WAIT, h, sessionIndex, true, &sharePath);
    WriteTreeRow(app, Event::kConnect, index);
  }
  diag.Prt(1, u"SMB2_TREE_COMMECT_REQUEST ---END ---\n\n");
  diag.Dbg(1, u"<< SMB2_TREE_COMMECT_REQUEST ---END ---\n\n");
}

void TreeConnectResponse(Nimbrel& app, const Smb2Message& msg, int32_t sessionIndex) {
  Diag& diag = app.diag;
  diag.Prt(1, u"SMB2_TREE_COMMECT_RESPONSE  --- START ---\n");
  diag.Dbg(1, u">> SMB2_TREE_COMMECT_RESPONSE  --- START ---\n");
  const Smb2Header h = msg.Header();
  int32_t index = Find(app, h, 0, NBL_WAIT);
  if (index < 0) {
    diag.Dbg(2, u">> Access information search (NBL_WAIT) Not Find\n");
    index = Find(app, h, h.TreeId, NBL_USE);
    if (index >= 0) {
      app.accessInfo.Clear(index);
      diag.Dbg(2, u">> Access information search (NBL_USE) Find / Clear\n");
    } else {
      diag.Dbg(2, u">> Access information search (NBL_USE) Not Find\n");
    }
  }
  if (index >= 0) {
    SetEntry(app, index, NBL_USE, h, sessionIndex, false, nullptr);
    WriteTreeRow(app, Event::kAccess, index);
  }
  diag.Prt(1, u"SMB2_TREE_COMMECT_RESPONSE --- END ---\n\n");
  diag.Dbg(1, u">> SMB2_TREE_COMMECT_RESPONSE --- END ---\n\n");
}

void TreeDisconnectResponse(Nimbrel& app, const Smb2Message& msg, int32_t sessionIndex) {
  Diag& diag = app.diag;
  const FrameValues& fv = app.frame;
  diag.Prt(1, u"SMB2_TREE_DISCONNECT  --- START ---\n");
  diag.Dbg(1, u">> SMB2_TREE_DISCONNECT  --- START ---\n");
  const Smb2Header h = msg.Header();
  if (diag.DbgOn(2)) {
    diag.ToDbg(u"----- Data Output -----------------------\n");
    diag.ToDbg(u"SMB2_HEADER_RESPONSE->process_id=%I32u\n", h.ProcessId);
    diag.ToDbg(u"SMB2_HEADER_RESPONSE->session_id=%I64u\n", h.SessionId);
    diag.ToDbg(u"SMB2_HEADER_RESPONSE->tree_id=%I32u\n", h.TreeId);
    diag.ToDbg(u"SV_IP=%s\n", fv.SV_IP);
    diag.ToDbg(u"CL_IP=%s\n", fv.CL_IP);
  }
  int32_t index = Find(app, h, h.TreeId, NBL_USE);
  if (index < 0) {
    diag.Dbg(2, u">> Access information search (NBL_SRC) Not Find\n");
    index = Find(app, h, h.TreeId, NBL_FIND);
    if (index < 0) diag.Dbg(2, u">> Access information search (NBL_FIND) Not Find\n");
  }
  if (index >= 0) {
    SetEntry(app, index, NBL_USE, h, sessionIndex, false, nullptr);
    WriteTreeRow(app, Event::kDisConnect, index);
  }
  diag.Dbg(2, u"NBL_DEL_WAIT Clear=%d\n", Find(app, h, 0, NBL_DEL_WAIT));
  diag.Dbg(2, u"NBL_DEL_USE Clear=%d\n", Find(app, h, 0, NBL_DEL_USE));
  int32_t waiting = app.accessInfo.CountState(NBL_WAIT);
  int32_t inUse = app.accessInfo.CountState(NBL_USE);
  diag.Dbg(2, u"AccessDataCnt Wait=%d : Use=%d\n", waiting, inUse);
  diag.Prt(4, u">> AccessDataCnt Wait=%d : Use=%d\n", waiting, inUse);
  diag.Prt(1, u"SMB2_TREE_DISCONNECT  --- END ---\n\n");
  diag.Dbg(1, u">> SMB2_TREE_DISCONNECT  --- END ---\n\n");
}

}  // namespace

void FillEntry(Nimbrel& app, int32_t index, int32_t state, const Smb2Header& h,
               int32_t sessionIndex, const U16* clientName) {
  const FrameValues& fv = app.frame;
  const NBL_SmbSession_ST& s = app.sessions[sessionIndex];
  NBL_AccessInfo_ST& e = app.accessInfo[index];
  e.State = state;
  e.ProcessId = h.ProcessId;
  e.SessionId = h.SessionId;
  e.TreeId = h.TreeId;
  SetText(e.SV_IP, U16View(fv.SV_IP, kAddrTextCap));
  SetText(e.CL_IP, U16View(fv.CL_IP, kAddrTextCap));
  SetText(e.SV_Port, U16View(fv.SV_Port, kAddrTextCap));
  SetText(e.CL_Port, U16View(fv.CL_Port, kAddrTextCap));
  SetText(e.ClientComputerName, U16View(clientName, kClientNameUnits));
  SetText(e.ClientUserName, U16View(s.sesi502_username, kTextUnits));
  SetText(e.ClusterNodeName, U16View(s.sesi502_cltype_name, kTextUnits));
  e.IdleTime = s.sesi502_idle_time;
  e.SessionTime = s.sesi502_time;
  app.accessInfo.Commit(index);
}

void ResponseSide(Nimbrel& app, const Smb2Message& msg) {
  Diag& diag = app.diag;
  FrameValues& fv = app.frame;
  const uint16_t command = msg.Command();
  int32_t sessionIndex = FindClientSession(app, fv.CL_IP, command);
  if (sessionIndex < 0) {
    diag.Dbg(5, u"<< NBL_SMB_SessionGet_WinApi Data Not Find\n");
    return;
  }
  FormTimeText(fv);
  if (diag.PrtOn(5)) {
    std::string time8 = WideToSystem(U16View(fv.timeText, kTimeTextCap));
    diag.Con8("TIME  : %s,%.6d\n", time8, fv.usec);
    diag.Con8("LEN   : %d\n", fv.wireLen);
    diag.Con8(">> SMB2_HEADER_RESPONSE\n");
    diag.Con8("SMB2 CMD:0x%02X\n", command);
  }
  if (diag.DbgOn(5)) {
    diag.ToDbg(u"TIME  : %s,%.6d\n", fv.timeText, fv.usec);
    diag.ToDbg(u"LEN   : %d\n", fv.wireLen);
    diag.ToDbg(u">> SMB2_HEADER_RESPONSE\n");
    diag.ToDbg(u"SMB2 CMD : 0x%02X\n", command);
  }
  if (const char16_t* name = Smb2CommandName(command)) {
    diag.Prt(5, u"SMB CMD:%s\n\n", name);
    diag.Dbg(5, u"SMB CMD:%s\n", name);
  }
  switch (command) {
    case kSmb2SessionSetup:
      diag.Prt(1, u"SESSION_SETUP_RESPONSE----START END----\n\n");
      diag.Dbg(1, u">> SESSION_SETUP_RESPONSE----START END----\n\n");
      break;
    case kSmb2TreeConnect:
      if (msg.BodyLength() >= 12) TreeConnectResponse(app, msg, sessionIndex);
      break;
    case kSmb2Create:
      if (msg.BodyLength() >= 80) {
        diag.Prt(1, u"SMB2_CTRATE_RESPONS ---- START END ----\n\n");
        diag.Dbg(1, u">> SMB2_CTRATE_RESPONS ---- START END ----\n\n");
      }
      break;
    case kSmb2TreeDisconnect:
      TreeDisconnectResponse(app, msg, sessionIndex);
      break;
    default:
      break;
  }
}

void RequestHead(Nimbrel& app, const Smb2Message& msg) {
  Diag& diag = app.diag;
  const uint16_t command = msg.Command();
  int32_t sessionIndex = FindClientSession(app, app.frame.CL_IP, command);
  if (sessionIndex < 0) {
    diag.Dbg(5, u"<< NBL_SMB_SessionGet_WinApi Data Not Find\n");
    return;
  }
  switch (command) {
    case kSmb2SessionSetup:
      diag.Prt(1, u"SMB2_SESSION_SETUP ---- START END ----\n\n");
      diag.Dbg(1, u"<< SMB2_SESSION_SETUP ---- START END ----\n\n");
      break;
    case kSmb2TreeConnect:
      if (msg.BodyLength() >= 8) TreeConnectRequest(app, msg, sessionIndex);
      break;
    case kSmb2Create:
    case kSmb2SetInfo:
      HandleFileRequest(app, msg, sessionIndex);
      break;
    default:
      break;
  }
}

}  // namespace nbl
