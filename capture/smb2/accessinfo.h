// The access-information table: the program's memory of tree connections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "capture/frame/fixedtable.h"
#include "platform/text.h"

namespace nbl {

inline constexpr size_t kTextUnits = 512;  // record texts: 511 units and a terminator

// Entry states, and the search modes of NBL_AccessInfoGet (mode 1 looks for
// waiting entries and mode 2 for entries in use, hence the shared values).
enum : int32_t {
  NBL_CLR = 0,  // mode 0: the first free entry (state 0 is "free")
  NBL_WAIT = 1,
  NBL_USE = 2,
  NBL_DEL_WAIT = 4,
  NBL_DEL_USE = 5,
  NBL_FIND = 6,
};

struct NBL_AccessInfo_ST {
  int32_t State;
  uint32_t TreeId;
  uint32_t ProcessId;
  uint64_t SessionId;
  U16 SharePath[kTextUnits];
  U16 ClusterNodeName[kTextUnits];
  U16 ClientComputerName[kTextUnits];
  U16 ClientUserName[kTextUnits];
  uint64_t IdleTime;
  uint64_t SessionTime;
  U16 SV_Port[kTextUnits];
  U16 CL_Port[kTextUnits];
  U16 SV_IP[kTextUnits];
  U16 CL_IP[kTextUnits];
};

class Diag;

// The table of AccessDataCnt entries and its search. Searches behave as a
// scan from index 0 would ("the lowest matching index wins"), but go through
// an index kept beside the records, so they do not slow down as the table
// fills. Whoever changes an entry's State, identifiers or CL_IP calls Commit
// (or Clear) for it before the next search.
class AccessInfoTable {
 public:
  bool Allocate(int32_t count);
  int32_t count() const { return records_.count(); }
  NBL_AccessInfo_ST& operator[](int32_t i) { return records_[i]; }
  const NBL_AccessInfo_ST& operator[](int32_t i) const { return records_[i]; }

  // Fills the entry with zero bytes.
  void Clear(int32_t i);
  // Brings the index up to date with the entry's current keys.
  void Commit(int32_t i);

  // Modes 0, 1, 2, 6: the index of the first matching entry or -1; modes 4
  // and 5: clears the matching entries and returns how many; any other: -1.
  int32_t NBL_AccessInfoGet(uint32_t treeId, uint32_t processId, uint64_t sessionId,
                            const U16* clientIp, int32_t mode, Diag* diag = nullptr);

  // Entries waiting and in use, over the whole table.
  int32_t CountState(int32_t state) const;

 private:
  struct Key {
    int32_t state = 0;
    uint32_t processId = 0;
    uint64_t sessionId = 0;
    std::u16string clientIp;
  };
  using ConnKey = std::tuple<std::u16string, uint32_t, uint64_t>;
  void Unindex(int32_t i);
  void Index(int32_t i);
  int32_t ClearAll(int32_t state, const std::u16string& clientIp);

  FixedTable<NBL_AccessInfo_ST> records_;
  std::vector<Key> keys_;  // what each entry was indexed under
  std::set<int32_t> free_;
  // Waiting (1) and in-use (2) entries by client address, and by connection.
  std::map<std::u16string, std::set<int32_t>> byClient_[3];
  std::map<ConnKey, std::set<int32_t>> byConnection_[3];
  int32_t counts_[3] = {0, 0, 0};
};

// The entry dump of the tree handling (debug log).
void DumpAccessInfo(Diag& diag, const AccessInfoTable& table, int32_t index);
// Its field lines alone, shared with the request handling's dump.
void DumpEntryFields(Diag& diag, const AccessInfoTable& table, int32_t index);

}  // namespace nbl
