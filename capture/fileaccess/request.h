// CREATE and SET_INFO requests: the file name, the tie to a tree connection,
// and on to the access row.
#pragma once

#include <cstdint>

#include "capture/smb2/smb2msg.h"

namespace nbl {

struct Nimbrel;

void HandleFileRequest(Nimbrel& app, const Smb2Message& msg, int32_t sessionIndex);

}  // namespace nbl
