// The Access row of a CREATE or SET_INFO request: the access kind, the
// relabelling against the previous row, the row itself and the last-row record.
#pragma once

#include <cstdint>

#include "capture/frame/framevalues.h"
#include "capture/smb2/accessinfo.h"

namespace nbl {

struct Nimbrel;

// One request's row as it was when the request was seen: the entry, the
// request name, the command and the frame's time.
struct FileRowJob {
  NBL_AccessInfo_ST entry;
  U16 sBuffer[kTextUnits];
  uint16_t command;
  int64_t sec;
  int32_t usec;
  U16 timeText[kTimeTextCap];
};

// Looks at the file, relabels against the last row, writes the row and
// remembers it as the last row.
void WriteAccessRow(Nimbrel& app, FileRowJob& job);

}  // namespace nbl
