#include "capture/smb2/clients.h"

#include <cstring>

#include "capture/frame/nimbrel.h"
#include "capture/smb2/smb2msg.h"

namespace nbl {
namespace {

constexpr char kSessionFunc[] = "NBL_SMB_SessionGet_WinApi";

bool CanProduceRow(uint16_t command) {
  return command == kSmb2TreeConnect || command == kSmb2TreeDisconnect || command == kSmb2Create ||
         command == kSmb2SetInfo;
}

void CopyText(U16* dst, const std::u16string& src) {
  U16Copy(dst, kTextUnits, src);
}

}  // namespace

int32_t NBL_SMB_SessionGet_WinApi(Nimbrel& app, bool fresh) {
  FileServer& server = app.Server();
  const ServerList<ServerSession>& list = server.Sessions(fresh);
  SessionTableState& st = app.sessionState;
  // The same list as last time: the table already holds it, but for the one
  // client name a resolution may have replaced.
  if (list.generation == st.generation && !st.dirty && !st.hitCapacity) {
    if (st.renamed >= 0)
      U16Copy(app.sessions[st.renamed].sesi502_cname, kTextUnits,
              U16View(st.renamedCname, kTextUnits));
    st.renamed = -1;
    return st.filled;
  }

  // Only what the previous refresh filled needs clearing.
  std::memset(app.sessions.data(), 0, sizeof(NBL_SmbSession_ST) * static_cast<size_t>(st.filled));
  st.filled = 0;
  st.generation = list.generation;
  st.dirty = false;
  st.renamed = -1;
  st.hitCapacity = false;
  const int32_t capacity = app.sessions.count();
  for (const ServerSession& s : list.items) {
    if (st.filled >= capacity - 1) {
      app.diag.ReportTableFull(
          u"<< NBL_SMB_SessionGet_WinApi[%d][%ld] : NetSessionEnum buf MAX. (Adjust managed "
          u"memory)\n",
          u"NBL_SMB_SessionGet_WinApi[%hs][%d][%ld][Err] : NetSessionEnum buf MAX. (Adjust managed "
          u"memory)\n",
          kSessionFunc, __LINE__);
      st.hitCapacity = true;
      break;
    }
    if (s.username.empty()) continue;
    NBL_SmbSession_ST& e = app.sessions[st.filled];
    CopyText(e.sesi502_cname, s.cname);
    CopyText(e.sesi502_username, s.username);
    e.sesi502_num_opens = s.num_opens;
    e.sesi502_time = s.time;
    e.sesi502_idle_time = s.idle_time;
    e.sesi502_user_flags = s.user_flags;
    CopyText(e.sesi502_cltype_name, s.cltype_name);
    CopyText(e.sesi502_transport, s.transport);
    ++st.filled;
  }
  return st.filled;
}

int32_t FindClientSession(Nimbrel& app, const U16* clientIp, uint16_t command) {
  std::u16string_view ip = U16View(clientIp, kTextUnits);
  auto find = [&](int32_t count) {
    for (int32_t i = 0; i < count; ++i)
      if (U16View(app.sessions[i].sesi502_cname, kTextUnits) == ip) return i;
    return -1;
  };
  int32_t count = NBL_SMB_SessionGet_WinApi(app);
  int32_t index = find(count);
  // A list asked for before this frame was captured cannot know a session
  // set up just before it: ask again, once, for frames that can make a row.
  const int64_t frameMs = app.frame.sec * 1000 + app.frame.usec / 1000;
  if (index < 0 && CanProduceRow(command) && app.Server().SessionsTakenAtMs() <= frameMs) {
    count = NBL_SMB_SessionGet_WinApi(app, true);
    index = find(count);
  }
  if (app.diag.DbgOn(5))
    app.diag.ToDbg(u"<< session list: %d sessions, asked for %lld ms after the frame\n", count,
                   static_cast<long long>(app.Server().SessionsTakenAtMs() - frameMs));
  return index;
}

ClientName ResolveClientName(Nimbrel& app, int32_t sessionIndex) {
  ClientName out;
  NBL_SmbSession_ST& s = app.sessions[sessionIndex];
  std::string address = WideToSystem(U16View(s.sesi502_cname, kTextUnits));
  if (address.size() > 31) address.resize(31);  // the 32-byte buffer of the original
  char host[1025];
  out.lookupResult = app.resolveName(address.c_str(), host, sizeof host);
  host[sizeof host - 1] = 0;
  std::u16string wide = SystemToWide(host);
  U16Copy(out.name, kClientNameUnits, wide);
  SessionTableState& st = app.sessionState;
  if (st.renamed < 0 && !st.dirty) {
    st.renamed = sessionIndex;
    U16Copy(st.renamedCname, kTextUnits, U16View(s.sesi502_cname, kTextUnits));
  } else if (st.renamed != sessionIndex) {
    st.dirty = true;
  }
  U16Copy(s.sesi502_cname, kTextUnits, U16View(out.name, kClientNameUnits));
  return out;
}

}  // namespace nbl
