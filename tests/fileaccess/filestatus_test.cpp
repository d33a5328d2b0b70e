#include "capture/fileaccess/filestatus.h"

#include <gtest/gtest.h>

#include "tests/support/nimbrel_fixture.h"

namespace nbl {
namespace {

using test::NimbrelInDir;
using test::TempDir;

TEST(FileNotifyInfo, RulesInTheirOrder) {
  const int64_t t = test::kFixedNow;
  struct Case {
    const char* name;
    bool exists;
    uint32_t attributes;
    int64_t creation, access, write;
    int32_t want;
  } cases[] = {
      {"folder, whatever its times", true, 0x10, t - 100, t - 1, t + 5, kStatusView},
      {"missing", false, 0, 0, 0, 0, kStatusDelete},
      {"all three times equal", true, 0x20, t - 50, t - 50, t - 50, kStatusNew},
      {"all equal and later than the request", true, 0x20, t + 3, t + 3, t + 3, kStatusNew},
      {"accessed a second before", true, 0x20, t - 50, t - 1, t - 40, kStatusWrite},
      {"accessed exactly WriteTimeWidth before", true, 0x20, t - 50, t - 2, t - 40, kStatusView},
      {"written after, accessed long before", true, 0x20, t - 50, t - 3, t + 1, kStatusNotFind},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    NimbrelInDir n(dir);
    SetOptionDefaults(&n.app->options);
    if (c.exists) n.files->Add(u"\\\\srv\\s\\f", c.attributes, c.creation, c.access, c.write);
    FileNotifyResult r = FileNotifyInfo(*n.app, u"\\\\srv\\s\\f", t);
    EXPECT_EQ(r.status, c.want);
    EXPECT_EQ(r.attributes, c.exists ? c.attributes : 0u);
  }
}

TEST(FileNotifyInfo, AttributeTexts) {
  struct Case {
    uint32_t attributes;
    std::u16string want;
  } cases[] = {{0x20, u"A"},     {0x21, u"A|R"},
               {0x16, u"D|H|S"}, {0, u""},
               {0x80, u"N"},     {0xFFFFFFFF, u"A|C|Res1|D|E|H|V|N|I|X|O|R|L|P|S|T|Res2|PI|UPI"}};
  for (const Case& c : cases) {
    U16 out[kAttrTextCap];
    FileAttributesStatusDataSum(c.attributes, out);
    EXPECT_EQ(std::u16string(out), c.want);
  }
  EXPECT_EQ(std::u16string(StatusWord(6)), u"Rename");
  EXPECT_EQ(std::u16string(StatusWord(99)), u"NotFind");
}

}  // namespace
}  // namespace nbl
