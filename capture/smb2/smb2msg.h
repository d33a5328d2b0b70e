// Reading the first SMB2 message of a frame: the header fields, the body
// length, the command names and the fields of the commands that are tracked
// (TREE_CONNECT, CREATE and SET_INFO requests). Everything is read in place
// through the frame's bounded view; offsets carried inside the message
// (PathOffset, NameOffset, BufferOffset) are not used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "capture/frame/byteview.h"

namespace nbl {

inline constexpr uint16_t kSmb2SessionSetup = 0x0001;
inline constexpr uint16_t kSmb2TreeConnect = 0x0003;
inline constexpr uint16_t kSmb2TreeDisconnect = 0x0004;
inline constexpr uint16_t kSmb2Create = 0x0005;
inline constexpr uint16_t kSmb2SetInfo = 0x0011;
inline constexpr uint8_t kFileRenameInformation = 10;
inline constexpr size_t kSmb2HeaderSize = 64;

// Trace name of a command code; nullptr for codes above 0x0012.
const char16_t* Smb2CommandName(uint16_t command);

struct Smb2Header {
  uint16_t Command = 0;
  uint32_t ProcessId = 0;  // header offset 32: the SMB 2.0.2 ProcessId, now Reserved
  uint32_t TreeId = 0;
  uint64_t SessionId = 0;
};

class Smb2Message {
 public:
  // frame: the captured bytes; headerOff: where the SMB2 header starts;
  // bodyLength: the body length from the wire length (it may exceed what was
  // captured; reads never do).
  Smb2Message(ByteView frame, size_t headerOff, uint32_t bodyLength)
      : frame_(frame), hdr_(headerOff), bodyLength_(bodyLength) {}

  // Fields that lie beyond the captured bytes read as 0.
  Smb2Header Header() const;
  uint16_t Command() const { return frame_.LE16(hdr_ + 12).value_or(0); }
  uint32_t BodyLength() const { return bodyLength_; }
  size_t BodyOffset() const { return hdr_ + kSmb2HeaderSize; }

  // TREE_CONNECT request: PathLength at body offset 6, the path at body offset 8.
  std::optional<uint16_t> TreeConnectPathLength() const { return frame_.LE16(BodyOffset() + 6); }
  size_t CopyTreeConnectPath(uint16_t pathLength, U16* out, size_t cap) const {
    return frame_.CopyUtf16(BodyOffset() + 8, pathLength, out, cap);
  }

  // CREATE request: NameLength at body offset 46, the name at body offset 56.
  std::optional<uint16_t> CreateNameLength() const { return frame_.LE16(BodyOffset() + 46); }
  size_t CopyCreateName(size_t nameLength, U16* out, size_t cap) const {
    return frame_.CopyUtf16(BodyOffset() + 56, nameLength, out, cap);
  }

  // SET_INFO request: FileInfoClass at body offset 3; the rename record's
  // FileNameLength bytes at body offsets 48 (low) and 49 (high); the new name
  // at body offset 52.
  std::optional<uint8_t> SetInfoFileInfoClass() const { return frame_.U8(BodyOffset() + 3); }
  std::optional<uint8_t> RenameLengthLow() const { return frame_.U8(BodyOffset() + 48); }
  std::optional<uint8_t> RenameLengthHigh() const { return frame_.U8(BodyOffset() + 49); }
  size_t CopyRenameName(size_t nameLength, U16* out, size_t cap) const {
    return frame_.CopyUtf16(BodyOffset() + 52, nameLength, out, cap);
  }

 private:
  ByteView frame_;
  size_t hdr_;
  uint32_t bodyLength_;
};

}  // namespace nbl
