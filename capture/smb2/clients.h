// Who a client is: its session in the server's session list, and the host
// name of its address.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace nbl {

struct Nimbrel;

inline constexpr size_t kClientNameUnits = 32;  // 31 characters and a terminator

// Refills the session table from the server's session list; returns the
// number of records filled (at most SessionSetupCnt - 1). `fresh` asks the
// server for a list taken now rather than a recent snapshot.
int32_t NBL_SMB_SessionGet_WinApi(Nimbrel& app, bool fresh = false);

// Refreshes the session table and returns the index of the first session
// whose client name is the address text, or -1. A client missing from a list
// asked for before the frame was captured is looked up again in a list taken
// at once when the frame's command is one that can produce a row, so that a
// tree connect right after the session set-up is not lost.
int32_t FindClientSession(Nimbrel& app, const U16* clientIp, uint16_t command);

struct ClientName {
  U16 name[kClientNameUnits] = {0};
  int lookupResult = 0;  // the resolver's result code
};

// Resolves the host name of the session's client address (empty when it has
// none) and puts it in place of the session's client name.
ClientName ResolveClientName(Nimbrel& app, int32_t sessionIndex);

}  // namespace nbl
