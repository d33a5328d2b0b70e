#include "capture/smb2/smb2msg.h"

namespace nbl {
namespace {

// One name per command code, in code order.
constexpr const char16_t* kCommandNames[] = {
    u"SMB2_NEGOTIATE",
    u"SMB2_SESSION_SETUP",
    u"SMB2_LOGOFF",
    u"SMB2_TREE_CONNECT",
    u"SMB2_TREE_DISCONNECT",
    u"SMB2_CREATE",
    u"SMB2_CLOSE",
    u"SMB2_FLUSH",
    u"SMB2_READ",
    u"SMB2_WRITE",
    u"SMB2_LOCK",
    u"SMB2_IOCTL",
    u"SMB2_CANCEL",
    u"SMB2_ECHO",
    u"SMB2_QUERY_DIRECTORY",
    u"SMB2_CHANGE_NOTIFY",
    u"SMB2_QUERY_INFO",
    u"SMB2_SET_INFO",
    u"SMB2_OPLOCK_BREAK",
};

}  // namespace

const char16_t* Smb2CommandName(uint16_t command) {
  return command < std::size(kCommandNames) ? kCommandNames[command] : nullptr;
}

Smb2Header Smb2Message::Header() const {
  Smb2Header h;
  h.Command = Command();
  h.ProcessId = frame_.LE32(hdr_ + 32).value_or(0);
  h.TreeId = frame_.LE32(hdr_ + 36).value_or(0);
  h.SessionId = frame_.LE64(hdr_ + 40).value_or(0);
  return h;
}

}  // namespace nbl
