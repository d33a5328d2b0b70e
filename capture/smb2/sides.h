// The two sides an SMB2 frame goes to: the response side (server to client)
// and the request head (client to server).
#pragma once

#include <cstdint>

#include "capture/smb2/smb2msg.h"
#include "platform/text.h"

namespace nbl {

struct Nimbrel;

void ResponseSide(Nimbrel& app, const Smb2Message& msg);

// Sets an entry's state, identifiers, addresses and names from the current
// message and the client's session (its SharePath stays), and brings the
// table's index up to date.
void FillEntry(Nimbrel& app, int32_t index, int32_t state, const Smb2Header& h,
               int32_t sessionIndex, const U16* clientName);
void RequestHead(Nimbrel& app, const Smb2Message& msg);

}  // namespace nbl
