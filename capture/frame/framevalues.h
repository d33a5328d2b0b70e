// The values the loop head forms for each accepted frame and hands to the
// response side or the request side.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/frame/byteview.h"
#include "platform/text.h"

namespace nbl {

inline constexpr size_t kAddrTextCap = 128;
inline constexpr size_t kTimeTextCap = 64;

struct FrameValues {
  ByteView frame;   // the captured bytes
  int64_t sec = 0;  // capture time
  int32_t usec = 0;
  uint32_t wireLen = 0;     // length on the wire
  uint32_t ihl = 0;         // IPv4 header length in bytes
  uint32_t tcpLen = 0;      // TCP header length in bytes (data offset x 4)
  size_t smb2Offset = 0;    // 14 + ihl + tcpLen + 4
  uint32_t bodyLength = 0;  // wire length minus everything up to the end of the SMB2 header
  bool response = false;    // server to client
  U16 SV_IP[kAddrTextCap] = {0};
  U16 SV_Port[kAddrTextCap] = {0};
  U16 CL_IP[kAddrTextCap] = {0};
  U16 CL_Port[kAddrTextCap] = {0};
  U16 timeText[kTimeTextCap] = {0};  // "%Y%m%d %H:%M:%S" of the capture time, local
};

}  // namespace nbl
