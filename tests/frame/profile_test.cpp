#include "platform/profile.h"

#include <gtest/gtest.h>

#include "capture/frame/diag.h"
#include "capture/frame/options.h"
#include "tests/support/tempdir.h"

namespace nbl {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Profile, ReadsWithWindowsSemantics) {
  TempDir dir;
  std::string ini = dir.File("a.ini");
  WriteFile(ini,
            "; comment\r\n"
            "[Other]\r\n"
            "DBGmode=1\r\n"
            "[ option ]\r\n"
            "  dbgMODE  =  3x  \r\n"
            "Neg=-1\r\n"
            "Letters=x\r\n"
            "Empty=\r\n"
            "Quoted=\"ip and tcp \"\r\n"
            "Path = C:\\log\\a.log \r\n");
  struct IntCase {
    const char* key;
    int def, want;
  } ints[] = {
      {"DBGmode", 4, 3}, {"Neg", 9, -1}, {"Letters", 9, 0}, {"Empty", 9, 9}, {"Missing", 7, 7}};
  for (const IntCase& c : ints)
    EXPECT_EQ(ProfileGetInt("Option", c.key, c.def, ini.c_str()), c.want) << c.key;
  EXPECT_EQ(ProfileGetInt("Option", "DBGmode", 4, dir.File("none.ini").c_str()), 4);

  char buf[16];
  EXPECT_EQ(ProfileGetString("OPTION", "path", "d", buf, sizeof buf, ini.c_str()), 12u);
  EXPECT_STREQ(buf, "C:\\log\\a.log");
  ProfileGetString("Option", "Quoted", "d", buf, sizeof buf, ini.c_str());
  EXPECT_STREQ(buf, "ip and tcp ");
  ProfileGetString("Option", "Missing", "default", buf, sizeof buf, ini.c_str());
  EXPECT_STREQ(buf, "default");
  char small[5];
  ProfileGetString("Option", "Path", "", small, sizeof small, ini.c_str());
  EXPECT_STREQ(small, "C:\\l");
}

TEST(Profile, WritesInPlaceAndLeavesOtherLinesAlone) {
  TempDir dir;
  std::string ini = dir.File("b.ini");
  WriteFile(ini,
            "; keep me\r\n"
            "[Option]\r\n"
            "AutoRun=0\r\n"
            "DBGmode=4\r\n"
            "\r\n"
            "[Samba]\r\n"
            "x=1\r\n");
  ASSERT_TRUE(ProfileWriteString("option", "autorun", "1", ini.c_str()));
  ASSERT_TRUE(ProfileWriteString("Option", "PrintMode", "0", ini.c_str()));
  ASSERT_TRUE(ProfileWriteString("New", "k", "v", ini.c_str()));
  EXPECT_EQ(ReadFile(ini),
            "; keep me\r\n"
            "[Option]\r\n"
            "autorun=1\r\n"
            "DBGmode=4\r\n"
            "PrintMode=0\r\n"
            "\r\n"
            "[Samba]\r\n"
            "x=1\r\n"
            "[New]\r\n"
            "k=v\r\n");
}

TEST(Profile, WriteCreatesFileAndSection) {
  TempDir dir;
  std::string ini = dir.File("c.ini");
  ASSERT_TRUE(ProfileWriteString("Option", "AutoRun", "1", ini.c_str()));
  EXPECT_EQ(ReadFile(ini), "[Option]\nAutoRun=1\n");
  EXPECT_FALSE(ProfileWriteString("Option", "AutoRun", "1", dir.File("no/such/dir.ini").c_str()));
}

TEST(Options, MenuItemTwoWritesAllKeysInOrder) {
  TempDir dir;
  auto exe = [&](char* out, size_t cap) {
    return static_cast<size_t>(std::snprintf(out, cap, "%s", dir.File("Nimbrel").c_str())) < cap;
  };
  OptionInfo o;
  char iniPath[kPathCap];
  LoadOptions(exe, &o, iniPath);  // no file: the defaults
  o.DeviceSetNo = 3;
  Console con{std::tmpfile(), std::tmpfile()};
  auto diag = std::make_unique<Diag>(o, con);
  ShowAndWriteOptions(*diag, exe, o);
  std::fclose(con.out);
  std::fclose(con.in);
  EXPECT_EQ(ReadFile(dir.File("Nimbrel.ini")), ReadFile(NBL_TEST_DATA "/ini/all-keys.ini"));

  OptionInfo back;
  LoadOptions(exe, &back, iniPath);
  EXPECT_EQ(back.DeviceSetNo, 3);
  EXPECT_STREQ(back.PacketFilter, "ip and tcp");
}

TEST(Options, UnknownExecutablePathKeepsTheDefaults) {
  OptionInfo o;
  char iniPath[kPathCap];
  LoadOptions([](char*, size_t) { return false; }, &o, iniPath);
  EXPECT_STREQ(o.AccessLogFileFullPath, "Nimbrel.log");
  EXPECT_EQ(o.AccessDataCnt, 40960);
  EXPECT_EQ(o.DBGmode, 4);
  EXPECT_STREQ(iniPath, "");
}

TEST(Options, InstallationPathTooLongIsRefused) {
  std::string deep = "/" + std::string(300, 'd') + "/Nimbrel";
  char out[kPathCap] = "untouched";
  EXPECT_FALSE(MakeIniFileName(
      [&](char* o, size_t cap) {
        return static_cast<size_t>(std::snprintf(o, cap, "%s", deep.c_str())) < cap;
      },
      "Nimbrel.ini", out));
  EXPECT_STREQ(out, "untouched");
}

}  // namespace
}  // namespace nbl
