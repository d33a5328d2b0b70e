#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace nbl {
namespace {

TEST(CodePage, JapaneseReachesCp932Bytes) {
  Codec c(Encoding::kCp932);
  size_t replaced = 9;
  EXPECT_EQ(c.Encode(u"バッファー内", &replaced),
            "\x83\x6f\x83\x62\x83\x74\x83\x40\x81\x5b\x93\xe0");
  EXPECT_EQ(replaced, 0u);
  EXPECT_EQ(c.Decode("\x83\x6f\x83\x62"), u"バッ");
}

TEST(CodePage, CharactersOutsideCp932BecomeQuestionMarks) {
  Codec c(Encoding::kCp932);
  struct Case {
    std::u16string in;
    std::string want;
    size_t replaced;
  } cases[] = {
      {u"a\U0001F600b", "a?b", 1},  // a surrogate pair is one character
      {std::u16string(u"x") + char16_t(0xD800) + u"y", "x?y", 1},  // lone surrogate
      {u"\u00e9t\u00e9", "?t?", 2},
  };
  for (const Case& k : cases) {
    size_t replaced = 0;
    EXPECT_EQ(c.Encode(k.in, &replaced), k.want);
    EXPECT_EQ(replaced, k.replaced);
  }
}

TEST(CodePage, EncodeNeverOverruns) {
  Codec c(Encoding::kCp932);
  char buf[6];
  buf[5] = '#';
  bool truncated = false;
  size_t n = c.Encode(u"バッファー", buf, 5, nullptr, &truncated);
  EXPECT_TRUE(truncated);
  EXPECT_EQ(n, 4u);  // two whole characters, never half of one
  EXPECT_EQ(buf[5], '#');
}

}  // namespace
}  // namespace nbl
