#include "capture/smb2/accessinfo.h"

#include <cstring>

#include "capture/frame/diag.h"

namespace nbl {
namespace {

constexpr char kGetFunc[] = "NBL_AccessInfoGet";

bool Tracked(int32_t state) {
  return state == NBL_WAIT || state == NBL_USE;
}

}  // namespace

bool AccessInfoTable::Allocate(int32_t count) {
  if (!records_.Allocate(count)) return false;
  keys_.assign(static_cast<size_t>(count), Key{});
  free_.clear();
  for (int32_t i = 0; i < count; ++i) free_.insert(free_.end(), i);
  for (int s = 0; s < 3; ++s) {
    byClient_[s].clear();
    byConnection_[s].clear();
    counts_[s] = 0;
  }
  counts_[0] = count;
  return true;
}

void AccessInfoTable::Clear(int32_t i) {
  std::memset(&records_[i], 0, sizeof(NBL_AccessInfo_ST));
  Commit(i);
}

void AccessInfoTable::Unindex(int32_t i) {
  Key& k = keys_[static_cast<size_t>(i)];
  if (k.state == 0) {
    free_.erase(i);
  } else if (Tracked(k.state)) {
    auto c = byClient_[k.state].find(k.clientIp);
    if (c != byClient_[k.state].end()) {
      c->second.erase(i);
      if (c->second.empty()) byClient_[k.state].erase(c);
    }
    auto n = byConnection_[k.state].find(ConnKey{k.clientIp, k.processId, k.sessionId});
    if (n != byConnection_[k.state].end()) {
      n->second.erase(i);
      if (n->second.empty()) byConnection_[k.state].erase(n);
    }
  }
  if (k.state >= 0 && k.state < 3) --counts_[k.state];
}

void AccessInfoTable::Index(int32_t i) {
  const NBL_AccessInfo_ST& e = records_[i];
  Key& k = keys_[static_cast<size_t>(i)];
  k.state = e.State;
  k.processId = e.ProcessId;
  k.sessionId = e.SessionId;
  k.clientIp.assign(U16View(e.CL_IP, kTextUnits));
  if (k.state == 0) {
    free_.insert(i);
  } else if (Tracked(k.state)) {
    byClient_[k.state][k.clientIp].insert(i);
    byConnection_[k.state][ConnKey{k.clientIp, k.processId, k.sessionId}].insert(i);
  }
  if (k.state >= 0 && k.state < 3) ++counts_[k.state];
}

void AccessInfoTable::Commit(int32_t i) {
  Unindex(i);
  Index(i);
}

int32_t AccessInfoTable::ClearAll(int32_t state, const std::u16string& clientIp) {
  auto c = byClient_[state].find(clientIp);
  if (c == byClient_[state].end()) return 0;
  std::set<int32_t> victims = c->second;  // Clear changes the index under us
  for (int32_t i : victims) Clear(i);
  return static_cast<int32_t>(victims.size());
}

int32_t AccessInfoTable::NBL_AccessInfoGet(uint32_t treeId, uint32_t processId, uint64_t sessionId,
                                           const U16* clientIp, int32_t mode, Diag* diag) {
  std::u16string ip(clientIp ? U16View(clientIp, kTextUnits) : std::u16string_view());
  int32_t found = -1;
  switch (mode) {
    case NBL_CLR:
      if (!free_.empty()) found = *free_.begin();
      return found;
    case NBL_WAIT:
    case NBL_FIND: {
      int32_t state = mode == NBL_WAIT ? NBL_WAIT : NBL_USE;
      auto n = byConnection_[state].find(ConnKey{ip, processId, sessionId});
      if (n != byConnection_[state].end()) found = *n->second.begin();
      break;
    }
    case NBL_USE: {
      auto n = byConnection_[NBL_USE].find(ConnKey{ip, processId, sessionId});
      if (n != byConnection_[NBL_USE].end()) {
        for (int32_t i : n->second) {
          if (records_[i].TreeId == treeId) {
            found = i;
            break;
          }
        }
      }
      break;
    }
    case NBL_DEL_WAIT:
    case NBL_DEL_USE: {
      int32_t cleared = ClearAll(mode == NBL_DEL_WAIT ? NBL_WAIT : NBL_USE, ip);
      if (diag != nullptr && diag->DbgOn(4)) {
        diag->FormatLine(mode == NBL_DEL_WAIT
                             ? u"[%hs][%d][Info]: NBL_DEL_WAIT NBL_AccessInfoIndex = %d\n"
                             : u"[%hs][%d][Info]: NBL_DEL_USE NBL_AccessInfoIndex = %d\n",
                         kGetFunc, __LINE__, cleared);
        diag->DBG_LOG_PRINT(diag->message(), 1);
      }
      return cleared;
    }
    default:
      return -1;
  }
  if (found >= 0 && diag != nullptr && diag->DbgOn(4)) {
    diag->FormatLine(mode == NBL_WAIT ? u"[%hs][%d][Info]: NBL_WAIT NBL_AccessInfoIndex = %d\n"
                                      : u"[%hs][%d][Info]: NBL_USE NBL_AccessInfoIndex = %d\n",
                     kGetFunc, __LINE__, found);
    diag->DBG_LOG_PRINT(diag->message(), 1);
  }
  return found;
}

int32_t AccessInfoTable::CountState(int32_t state) const {
  return state >= 0 && state < 3 ? counts_[state] : 0;
}

void DumpEntryFields(Diag& diag, const AccessInfoTable& table, int32_t i) {
  const NBL_AccessInfo_ST& e = table[i];
  diag.ToDbg(u"NBL_AccessInfo[%d].ProcessId=%I32u\n", i, e.ProcessId);
  diag.ToDbg(u"NBL_AccessInfo[%d].SessionId=%I64u\n", i, e.SessionId);
  diag.ToDbg(u"NBL_AccessInfo[%d].TreeId=%I32u\n", i, e.TreeId);
  diag.ToDbg(u"NBL_AccessInfo[%d].SV_IP=%s\n", i, e.SV_IP);
  diag.ToDbg(u"NBL_AccessInfo[%d].CL_IP=%s\n", i, e.CL_IP);
  diag.ToDbg(u"NBL_AccessInfo[%d].SV_Port=%s\n", i, e.SV_Port);
  diag.ToDbg(u"NBL_AccessInfo[%d].CL_Port=%s\n", i, e.CL_Port);
  diag.ToDbg(u"NBL_AccessInfo[%d].ClientComputerName=%s\n", i, e.ClientComputerName);
  diag.ToDbg(u"NBL_AccessInfo[%d].ClientUserName=%s\n", i, e.ClientUserName);
  diag.ToDbg(u"NBL_AccessInfo[%d].ClusterNodeName=%s\n", i, e.ClusterNodeName);
  diag.ToDbg(u"NBL_AccessInfo[%d].SharePath=%s\n", i, e.SharePath);
}

void DumpAccessInfo(Diag& diag, const AccessInfoTable& table, int32_t i) {
  if (!diag.DbgOn(3)) return;
  diag.ToDbg(u"----------------------------\n");
  diag.ToDbg(u"NBL_AccessInfoIndex=%d\n", i);
  DumpEntryFields(diag, table, i);
  diag.ToDbg(u"----------------------------\n");
}

}  // namespace nbl
