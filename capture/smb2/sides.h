// The two sides an SMB2 frame goes to: the response side (server to client)
// and the request head (client to server).
#pragma once

#include "capture/smb2/smb2msg.h"

namespace nbl {

struct Nimbrel;

void ResponseSide(Nimbrel& app, const Smb2Message& msg);
void RequestHead(Nimbrel& app, const Smb2Message& msg);

}  // namespace nbl
