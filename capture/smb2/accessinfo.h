// The access-information table: the program's memory of tree connections.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace nbl
