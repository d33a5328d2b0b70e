// The server's open-file list as the capture program keeps it.
#pragma once

#include <cstdint>

#include "capture/smb2/accessinfo.h"

namespace nbl {

struct NBL_SmbOpenFile_ST {
  uint64_t FileId;
  U16 Path[kTextUnits];                // local path of the open file
  U16 ShareRelativePath[kTextUnits];   // the same file's name under its share
  U16 ClientComputerName[kTextUnits];  // the client's address
  U16 UserName[kTextUnits];
};

// The last Access row written, which the next request is compared with.
struct LastRowRecord {
  NBL_AccessInfo_ST NBL_AccessInfoTmp;
  U16 sBufferTmp[kTextUnits];
  int32_t FileAccessStatusNpTmp;
};

}  // namespace nbl
