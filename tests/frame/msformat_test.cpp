#include "capture/frame/msformat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace nbl {
namespace {

std::u16string F(std::u16string_view fmt, std::initializer_list<FmtArg> args) {
  return FormatToString(fmt, args);
}

TEST(MsFormat, DialectDirectives) {
  const char16_t name[] = u"\\\\srv\\share\\";
  struct Case {
    std::u16string got, want;
  } cases[] = {
      {F(u"[%hs][%d][Info]: x\n", {"wWinMain", 42}), u"[wWinMain][42][Info]: x\n"},
      {F(u"%s", {name}), u"\\\\srv\\share\\"},
      {F(u"%I32u", {uint32_t{4294967295u}}), u"4294967295"},
      {F(u"%I64u", {uint64_t{18446744073709551615ull}}), u"18446744073709551615"},
      {F(u"%llu", {uint64_t{1234567890123ull}}), u"1234567890123"},
      {F(u"%ld", {int64_t{-5}}), u"-5"},
      {F(u"%ld", {int64_t{0x100000005}}), u"5"},  // long is 32 bits in this dialect
      {F(u"%d", {uint32_t{0xFFFFFFFFu}}), u"-1"},
      {F(u"%.6d", {42}), u"000042"},
      {F(u"%.6d", {999999}), u"999999"},
      {F(u"%02X", {0x5}), u"05"},
      {F(u"%02X", {0x11}), u"11"},
      {F(u"%x %x", {0xab, 0x1}), u"ab 1"},
      {F(u"%d%%", {7}), u"7%"},
      {F(u"%d", {INT32_MIN}), u"-2147483648"},
      {F(u"%5d|%-5d|", {12, 12}), u"   12|12   |"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(MsFormat, NarrowTemplates) {
  char buf[64];
  FmtResult r = FormatNarrow(buf, sizeof buf, "TIME  : %s,%.6d\n", {"09:30:05", 12});
  EXPECT_STREQ(buf, "TIME  : 09:30:05,000012\n");
  EXPECT_EQ(r.length, 24u);
}

TEST(MsFormat, MismatchedOrMissingArgumentsPrintAMarker) {
  EXPECT_EQ(F(u"%s", {5}), u"(?)");
  EXPECT_EQ(F(u"%d", {u"text"}), u"(?)");
  EXPECT_EQ(F(u"%s", {"narrow for a wide %s"}), u"(?)");
  EXPECT_EQ(F(u"%d %d", {1}), u"1 (?)");
}

TEST(MsFormat, NeverOverrunsAndKeepsTheLineEnd) {
  struct Case {
    std::u16string_view fmt;
    size_t cap;
    std::u16string want;
  } cases[] = {
      {u"abcdefghij\n", 8, u"abcdef\n"}, {u"abcdefghij\r\n", 8, u"abcde\r\n"},
      {u"abcdefghij", 8, u"abcdefg"},    {u"abc\n", 8, u"abc\n"},
      {u"abcdefghij\n", 2, u"\n"},
  };
  for (const Case& c : cases) {
    U16 buf[16];
    for (U16& u : buf) u = u'#';
    FmtResult r = FormatWide(buf, c.cap, c.fmt, {});
    EXPECT_EQ(std::u16string(buf), c.want);
    EXPECT_EQ(r.length, c.want.size());
    for (size_t i = c.cap; i < 16; ++i) EXPECT_EQ(buf[i], u'#') << "overrun at " << i;
  }
}

}  // namespace
}  // namespace nbl
