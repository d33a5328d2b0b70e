#include "capture/smb2/smb2msg.h"

#include <gtest/gtest.h>

#include "tests/support/frames.h"

namespace nbl {
namespace {

using test::Bytes;
using test::FrameSpec;

constexpr size_t kHeaderAt = 14 + 20 + 20 + 4;

// The message as the loop head hands it on: the exact captured bytes (so that
// AddressSanitizer sees any read beyond them) and the body length of the wire.
struct Msg {
  explicit Msg(const FrameSpec& frame, size_t cut = 0, uint32_t extraWire = 0)
      : bytes(test::BuildFrame(frame)) {
    uint32_t wire = static_cast<uint32_t>(bytes.size()) + extraWire;
    bytes.resize(bytes.size() - cut);
    view = ByteView(bytes.data(), bytes.size());
    msg.emplace(view, kHeaderAt, wire - static_cast<uint32_t>(kHeaderAt + 64));
  }
  Bytes bytes;
  ByteView view;
  std::optional<Smb2Message> msg;
};

TEST(Smb2Message, HeaderFields) {
  FrameSpec s;
  s.command = 0x0011;
  s.processId = 0xFEFF;
  s.treeId = 0x01020304;
  s.sessionId = 0x1122334455667788ull;
  s.body = Bytes(5, 0);
  Msg m(s);
  Smb2Header h = m.msg->Header();
  EXPECT_EQ(h.Command, 0x0011);
  EXPECT_EQ(h.ProcessId, 0xFEFFu);
  EXPECT_EQ(h.TreeId, 0x01020304u);
  EXPECT_EQ(h.SessionId, 0x1122334455667788ull);
  EXPECT_EQ(m.msg->BodyLength(), 5u);
}

TEST(Smb2Message, CommandNames) {
  EXPECT_EQ(std::u16string(Smb2CommandName(0)), u"SMB2_NEGOTIATE");
  EXPECT_EQ(std::u16string(Smb2CommandName(0x0011)), u"SMB2_SET_INFO");
  EXPECT_EQ(std::u16string(Smb2CommandName(0x0012)), u"SMB2_OPLOCK_BREAK");
  EXPECT_EQ(Smb2CommandName(0x0013), nullptr);
  EXPECT_EQ(Smb2CommandName(0xFFFF), nullptr);
}

TEST(Smb2Message, TextsAreReadOnlyWithinTheCapturedBytes) {
  struct Case {
    const char* name;
    FrameSpec frame;
    size_t cut;  // bytes missing from the end of the capture
    std::u16string want;
  };
  FrameSpec tc;
  tc.body = test::TreeConnectRequestBody(u"\\\\srv\\share", 0xFFFF);  // says 65535 bytes
  FrameSpec tcOdd;
  tcOdd.body = test::TreeConnectRequestBody(u"\\\\srv\\sh", 7);  // odd length: whole units only
  FrameSpec cr;
  cr.body = test::CreateRequestBody(u"dir\\a.txt", 510);
  FrameSpec ren;
  ren.body = test::SetInfoRenameBody(u"new.txt");
  Case cases[] = {
      {"tree connect path length beyond the frame", tc, 0, u"\\\\srv\\share"},
      {"tree connect path cut by the capture", tc, 4, u"\\\\srv\\sha"},
      {"odd path length", tcOdd, 0, u"\\\\s"},
      {"create name length beyond the frame", cr, 0, u"dir\\a.txt"},
      {"rename name", ren, 0, u"new.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Msg m(c.frame, c.cut);
    U16 out[512];
    if (c.frame.body.size() > 52 && c.frame.body[3] == 10) {
      size_t len = *m.msg->RenameLengthLow() | *m.msg->RenameLengthHigh() << 8;
      m.msg->CopyRenameName(len, out, 512);
    } else if (c.frame.body.size() >= 56) {
      m.msg->CopyCreateName(*m.msg->CreateNameLength(), out, 512);
    } else {
      m.msg->CopyTreeConnectPath(*m.msg->TreeConnectPathLength(), out, 512);
    }
    EXPECT_EQ(std::u16string(out), c.want);
  }
}

TEST(Smb2Message, CopyStopsAtTheBufferCapacity) {
  FrameSpec s;
  s.body = test::CreateRequestBody(std::u16string(600, u'x'), 1200);
  Msg m(s);
  U16 out[512];
  out[511] = u'#';
  EXPECT_EQ(m.msg->CopyCreateName(1200, out, 512), 511u);
  EXPECT_EQ(out[511], 0);
}

TEST(Smb2Message, FieldsBeyondTheCaptureHaveNoValue) {
  FrameSpec s;
  s.body = Bytes(8, 0);
  Msg m(s, /*cut=*/6, /*extraWire=*/100);
  EXPECT_EQ(m.msg->BodyLength(), 108u);  // the wire says so
  EXPECT_FALSE(m.msg->TreeConnectPathLength().has_value());
  EXPECT_FALSE(m.msg->SetInfoFileInfoClass().has_value());
  EXPECT_FALSE(m.msg->CreateNameLength().has_value());
}

}  // namespace
}  // namespace nbl
