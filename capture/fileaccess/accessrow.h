// The Access row of a CREATE or SET_INFO request: the access kind, the
// relabelling against the previous row, the row itself and the last-row record.
#pragma once

#include <cstdint>

#include "capture/smb2/smb2msg.h"

namespace nbl {

struct Nimbrel;

// Writes the row for the entry and the request name in sBuffer, remembers it
// as the last row and clears sBuffer.
void WriteAccessRow(Nimbrel& app, int32_t entryIndex, const Smb2Header& h);

}  // namespace nbl
