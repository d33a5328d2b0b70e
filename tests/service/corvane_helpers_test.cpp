// Path helpers, settings file, program start and stop rules of the wrapper.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "service/entries.h"
#include "service/launch.h"
#include "service/paths.h"
#include "service/settings.h"

namespace corvane {
namespace {

// Shift-JIS characters whose second byte is 0x5C, the value of a backslash.
#define HYO "\x95\x5C"  // 表
#define SO "\x83\x5C"   // ソ
#define JI "\x8E\xA6"   // 示

TEST(Iskanji, LeadByteRanges) {
  struct {
    unsigned char ch;
    int want;
  } cases[] = {{0x00, 0}, {'\\', 0}, {0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0},
               {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 0}, {0xFF, 0}};
  for (const auto& c : cases) EXPECT_EQ(iskanji(c.ch), c.want) << static_cast<int>(c.ch);
}

std::string Directory(const char* path) {
  char buf[PATH_BYTES];
  std::snprintf(buf, sizeof buf, "%s", path);
  extract_directory(buf);
  return buf;
}

TEST(ExtractDirectory, CutsAtLastBackslash) {
  EXPECT_EQ(Directory("C:\\tools\\prog.exe"), "C:\\tools");
  EXPECT_EQ(Directory("C:\\prog.exe"), "C:");
  EXPECT_EQ(Directory("C:\\tools\\"), "C:\\tools");
  EXPECT_EQ(Directory("\\\\srv\\share\\a.exe"), "\\\\srv\\share");
}

TEST(ExtractDirectory, LeavesPathWithoutBackslashWhole) {
  EXPECT_EQ(Directory("prog.exe"), "prog.exe");
  EXPECT_EQ(Directory("C:prog.exe"), "C:prog.exe");
  EXPECT_EQ(Directory("C:/tools/prog.exe"), "C:/tools/prog.exe");
  EXPECT_EQ(Directory(""), "");
}

TEST(ExtractDirectory, SecondByte5CIsNoSeparator) {
  EXPECT_EQ(Directory("C:\\" HYO JI "\\prog.exe"), "C:\\" HYO JI);
  EXPECT_EQ(Directory("C:\\dir\\" HYO), "C:\\dir");
  EXPECT_EQ(Directory("C:\\" SO "\\" HYO), "C:\\" SO);
  EXPECT_EQ(Directory(HYO SO), HYO SO);
  // A lead byte cut off by the end of the string does not read past it.
  EXPECT_EQ(Directory("C:\\ab\\\x95"), "C:\\ab");
}

std::string NameOnly(const char* path) {
  char name[PATH_BYTES];
  std::memset(name, 'x', sizeof name);
  extract_name_only(name, path);
  return name;
}

TEST(ExtractNameOnly, FileNameUpToFirstDot) {
  EXPECT_EQ(NameOnly("C:\\tools\\my.prog.exe"), "my");
  EXPECT_EQ(NameOnly("C:\\tools\\Nimbrel.exe"), "Nimbrel");
  EXPECT_EQ(NameOnly("C:prog.exe"), "prog");
  EXPECT_EQ(NameOnly("prog.exe"), "prog");
  EXPECT_EQ(NameOnly("prog"), "prog");
  EXPECT_EQ(NameOnly("C:\\tools.d\\prog"), "prog");
  EXPECT_EQ(NameOnly("C:\\tools\\.hidden.exe"), "");
}

TEST(ExtractNameOnly, EmptyCases) {
  EXPECT_EQ(NameOnly(""), "");
  EXPECT_EQ(NameOnly("C:\\tools\\"), "");
  EXPECT_EQ(NameOnly("C:"), "");
}

TEST(ExtractNameOnly, SecondByte5CIsNoSeparator) {
  EXPECT_EQ(NameOnly("C:\\dir\\" HYO ".exe"), HYO);
  EXPECT_EQ(NameOnly("C:\\" HYO JI "\\" SO "ft.exe"), SO "ft");
  EXPECT_EQ(NameOnly(SO HYO ".exe"), SO HYO);
}

std::string Ext(const char* path) {
  return extract_ext(path);
}

TEST(ExtractExt, LastDotOfFinalComponent) {
  EXPECT_EQ(Ext("C:\\tools\\prog.EXE"), "EXE");
  EXPECT_EQ(Ext("C:\\tools\\my.prog.exe"), "exe");
  EXPECT_EQ(Ext("C:\\tools.d\\prog"), "");
  EXPECT_EQ(Ext("C:/tools.d/prog"), "");
  EXPECT_EQ(Ext("C:prog"), "");
  EXPECT_EQ(Ext("prog."), "");
  EXPECT_EQ(Ext("a.b.c"), "c");
}

TEST(ExtractExt, PointsIntoThePath) {
  const char path[] = "C:\\x\\prog.exe";
  EXPECT_EQ(extract_ext(path), path + 10);
  const char none[] = "C:\\x.d\\prog";
  EXPECT_EQ(extract_ext(none), none + std::strlen(none));
  const char empty[] = "";
  EXPECT_EQ(extract_ext(empty), empty);
}

TEST(IsExePath, AnyLetterCase) {
  EXPECT_EQ(is_exe_path("C:\\p\\a.exe"), 1);
  EXPECT_EQ(is_exe_path("C:\\p\\a.EXE"), 1);
  EXPECT_EQ(is_exe_path("a.eXe"), 1);
  EXPECT_EQ(is_exe_path("C:\\p\\a.com"), 0);
  EXPECT_EQ(is_exe_path("C:\\p\\a"), 0);
  EXPECT_EQ(is_exe_path("C:\\p.exe\\a"), 0);
  EXPECT_EQ(is_exe_path("a.exe.bak"), 0);
  EXPECT_EQ(is_exe_path("a.ex"), 0);
  EXPECT_EQ(is_exe_path("a.exee"), 0);
  EXPECT_EQ(is_exe_path(""), 0);
}

TEST(CheckEntries, FirstFaultInDialogOrder) {
  const std::string name246(246, 'n'), name247(247, 'n');
  const std::string exe200 = "C:\\" + std::string(192, 'p') + ".exe";  // 199 bytes
  const std::string opt59(59, 'o'), opt60(60, 'o');
  struct {
    std::string name, exe, option;
    entry_fault want;
  } cases[] = {
      {"", "", "", entry_fault::service_name_empty},
      {"", "C:\\a.exe", "SC", entry_fault::service_name_empty},
      {name247, "", "SC", entry_fault::service_name_too_long},
      {name246, "C:\\a.exe", "SC", entry_fault::none},
      {"svc", "", "SC", entry_fault::program_not_exe},
      {"svc", "C:\\a.com", "SC", entry_fault::program_not_exe},
      {"svc", "C:\\a", "SC", entry_fault::program_not_exe},
      {"svc", "C:\\A.EXE", "", entry_fault::none},
      {"svc", exe200, opt59, entry_fault::none},              // 258 bytes together
      {"svc", exe200, opt60, entry_fault::command_too_long},  // 259
  };
  for (const auto& c : cases)
    EXPECT_EQ(check_entries(c.name.c_str(), c.exe.c_str(), c.option.c_str()), c.want)
        << c.name.size() << " " << c.exe << " " << c.option.size();
}

TEST(ProgramStart, CommandLineAndWorkingDirectory) {
  program_start p;
  ASSERT_TRUE(plan_program_start("C:\\Nimbrel\\Nimbrel.exe", "SC", END_SYSCOMMAND_CLOSE, &p));
  EXPECT_STREQ(p.command_line, "C:\\Nimbrel\\Nimbrel.exe SC");
  EXPECT_STREQ(p.work_dir, "C:\\Nimbrel");
  EXPECT_EQ(p.creation_flags, 0x04000000u);
  EXPECT_FALSE(p.own_console);
}

TEST(ProgramStart, EmptyOptionKeepsTheSpace) {
  program_start p;
  ASSERT_TRUE(plan_program_start("C:\\Nimbrel\\Nimbrel.exe", "", END_WM_CLOSE, &p));
  EXPECT_STREQ(p.command_line, "C:\\Nimbrel\\Nimbrel.exe ");
}

TEST(ProgramStart, PathWithSpaceIsQuoted) {
  program_start p;
  ASSERT_TRUE(plan_program_start("C:\\Program Files\\x.exe", "SC", END_WM_CLOSE, &p));
  EXPECT_STREQ(p.command_line, "\"C:\\Program Files\\x.exe\" SC");
  EXPECT_STREQ(p.work_dir, "C:\\Program Files");
}

TEST(ProgramStart, PathWithoutBackslashIsTheWholeWorkingDirectory) {
  program_start p;
  ASSERT_TRUE(plan_program_start("prog.exe", "a b", END_WM_CLOSE, &p));
  EXPECT_STREQ(p.command_line, "prog.exe a b");
  EXPECT_STREQ(p.work_dir, "prog.exe");
}

TEST(ProgramStart, WorkingDirectoryKeepsDoubleByteNames) {
  program_start p;
  ASSERT_TRUE(plan_program_start("C:\\" HYO "\\x.exe", "SC", END_WM_CLOSE, &p));
  EXPECT_STREQ(p.work_dir, "C:\\" HYO);
}

TEST(ProgramStart, CtrlBreakMethodGetsNewGroupAndConsole) {
  program_start p;
  ASSERT_TRUE(plan_program_start("C:\\x.exe", "SC", END_CTRL_BREAK, &p));
  EXPECT_EQ(p.creation_flags, 0x04000200u);
  EXPECT_TRUE(p.own_console);
  for (int32_t other : {0, 1, 2, -1, 4}) {
    ASSERT_TRUE(plan_program_start("C:\\x.exe", "SC", other, &p));
    EXPECT_EQ(p.creation_flags, 0x04000000u) << other;
    EXPECT_FALSE(p.own_console) << other;
  }
}

TEST(ProgramStart, RefusesCommandLineThatDoesNotFit) {
  program_start p;
  const std::string exe = "C:\\" + std::string(200, 'p') + ".exe";  // 207 bytes
  const std::string fits(MAX_COMMAND_TEXT - exe.size(), 'o');
  ASSERT_TRUE(plan_program_start(exe.c_str(), fits.c_str(), END_WM_CLOSE, &p));
  EXPECT_EQ(std::strlen(p.command_line), static_cast<size_t>(PATH_BYTES - 1));
  EXPECT_EQ(std::string(p.command_line), exe + " " + fits);
  const std::string too_long = fits + "o";
  EXPECT_FALSE(plan_program_start(exe.c_str(), too_long.c_str(), END_WM_CLOSE, &p));
}

TEST(ProgramStart, QuotesCountAgainstTheCommandLine) {
  program_start p;
  const std::string exe = "C:\\my dir\\" + std::string(200, 'p') + ".exe";
  EXPECT_EQ(command_text_limit(exe.c_str()), MAX_COMMAND_TEXT - 2);
  const std::string fits(MAX_COMMAND_TEXT - 2 - exe.size(), 'o');
  ASSERT_TRUE(plan_program_start(exe.c_str(), fits.c_str(), END_WM_CLOSE, &p));
  EXPECT_EQ(std::strlen(p.command_line), static_cast<size_t>(PATH_BYTES - 1));
  EXPECT_FALSE(plan_program_start(exe.c_str(), (fits + "o").c_str(), END_WM_CLOSE, &p));
  EXPECT_EQ(check_entries("svc", exe.c_str(), (fits + "o").c_str()), entry_fault::command_too_long);
}

TEST(BinaryPath, QuotedOnlyWithASpace) {
  char out[PATH_BYTES + 2];
  format_binary_path("C:\\Corvane\\Corvane.exe", out);
  EXPECT_STREQ(out, "C:\\Corvane\\Corvane.exe");
  format_binary_path("C:\\Program Files\\Corvane\\Corvane.exe", out);
  EXPECT_STREQ(out, "\"C:\\Program Files\\Corvane\\Corvane.exe\"");
  const std::string longest = "C:\\a b\\" + std::string(251, 'c');  // 259 bytes
  format_binary_path(longest.c_str(), out);
  EXPECT_EQ(std::string(out), "\"" + longest + "\"");
}

TEST(MutexName, FormedFromServiceName) {
  char name[PATH_BYTES];
  ASSERT_TRUE(format_mutex_name("Nimbrel", name));
  EXPECT_STREQ(name, "$$Corvane$$Nimbrel$$");
  EXPECT_EQ(MAX_SERVICE_NAME, 246);
  const std::string longest(246, 's');
  ASSERT_TRUE(format_mutex_name(longest.c_str(), name));
  EXPECT_EQ(std::strlen(name), 259u);
  EXPECT_FALSE(format_mutex_name((longest + "s").c_str(), name));
}

std::string Messages(const stop_request& r) {
  std::string s;
  for (int i = 0; i < r.count; ++i) {
    char one[40];
    std::snprintf(one, sizeof one, "%s%04X/%04X", i ? " " : "", r.messages[i].message,
                  r.messages[i].wparam);
    s += one;
  }
  return s;
}

TEST(StopRequest, MessagesOfEachEndMethod) {
  struct {
    int32_t end;
    stop_kind kind;
    std::string messages;
  } cases[] = {
      {0, stop_kind::window_messages, "0010/0000"},
      {1, stop_kind::window_messages, "0112/F060 0010/0000"},
      {2, stop_kind::window_messages, "0112/F060"},
      {3, stop_kind::console_break, ""},
      {-1, stop_kind::window_messages, "0010/0000"},
      {4, stop_kind::window_messages, "0010/0000"},
  };
  for (const auto& c : cases) {
    stop_request r = plan_stop_request(c.end, 1234);
    EXPECT_EQ(r.kind, c.kind) << c.end;
    EXPECT_EQ(Messages(r), c.messages) << c.end;
  }
}

TEST(StopRequest, NothingBeforeTheProgramHasStarted) {
  for (int32_t end : {0, 1, 2, 3, -1}) {
    stop_request r = plan_stop_request(end, 0);
    EXPECT_EQ(r.kind, stop_kind::none) << end;
    EXPECT_EQ(r.count, 0) << end;
  }
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::snprintf(dir_, sizeof dir_, "%s/corvane_XXXXXX", ::testing::TempDir().c_str());
    ASSERT_NE(mkdtemp(dir_), nullptr);
    s_ = {};
    const std::string ini = std::string(dir_) + "/Corvane.ini";
    ASSERT_LT(ini.size(), sizeof s_.ini_name);
    std::memcpy(s_.ini_name, ini.c_str(), ini.size() + 1);
  }
  void TearDown() override {
    std::remove(s_.ini_name);
    rmdir(dir_);
  }
  std::string FileText() {
    std::ifstream in(s_.ini_name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteFile(const std::string& text) {
    std::ofstream out(s_.ini_name, std::ios::binary);
    out << text;
  }
  char dir_[PATH_BYTES];
  corvane_settings s_;
};

TEST_F(SettingsFile, MissingFileGivesDefaultsAndIsNotCreated) {
  std::snprintf(s_.exe_name, PATH_BYTES, "left over");
  s_.end_pattern = 7;
  get_inifile(s_);
  EXPECT_STREQ(s_.exe_name, "");
  EXPECT_STREQ(s_.option_name, "SC");
  EXPECT_STREQ(s_.service_name, "");
  EXPECT_EQ(s_.end_pattern, 1);
  EXPECT_EQ(s_.auto_flag, 1);
  EXPECT_EQ(s_.desktop_flag, 1);
  EXPECT_NE(access(s_.ini_name, F_OK), 0);
}

TEST_F(SettingsFile, WritesSixKeysInOrder) {
  std::snprintf(s_.exe_name, PATH_BYTES, "C:\\Nimbrel\\Nimbrel.exe");
  std::snprintf(s_.option_name, PATH_BYTES, "SC");
  std::snprintf(s_.service_name, PATH_BYTES, "Nimbrel");
  s_.end_pattern = -1;
  s_.auto_flag = 0;
  s_.desktop_flag = 1;
  set_inifile(s_);
  EXPECT_EQ(FileText(),
            "[Corvane]\n"
            "exe=C:\\Nimbrel\\Nimbrel.exe\n"
            "option=SC\n"
            "name=Nimbrel\n"
            "end=-1\n"
            "auto=0\n"
            "desktop=1\n");

  corvane_settings back = {};
  std::snprintf(back.ini_name, PATH_BYTES, "%s", s_.ini_name);
  get_inifile(back);
  EXPECT_STREQ(back.exe_name, "C:\\Nimbrel\\Nimbrel.exe");
  EXPECT_STREQ(back.option_name, "SC");
  EXPECT_STREQ(back.service_name, "Nimbrel");
  EXPECT_EQ(back.end_pattern, -1);
  EXPECT_EQ(back.auto_flag, 0);
  EXPECT_EQ(back.desktop_flag, 1);
}

TEST_F(SettingsFile, RewriteKeepsOtherLinesAndKeyPlaces) {
  WriteFile("[Other]\nx=1\n[Corvane]\nname=old\nexe=C:\\old.exe\n");
  std::snprintf(s_.exe_name, PATH_BYTES, "C:\\new.exe");
  s_.option_name[0] = 0;
  std::snprintf(s_.service_name, PATH_BYTES, "new");
  s_.end_pattern = 0;
  s_.auto_flag = 1;
  s_.desktop_flag = 0;
  set_inifile(s_);
  EXPECT_EQ(FileText(),
            "[Other]\nx=1\n[Corvane]\nname=new\nexe=C:\\new.exe\noption=\nend=0\nauto=1\n"
            "desktop=0\n");
}

TEST_F(SettingsFile, EmptyOptionIsKeptAndNotReplacedByDefault) {
  WriteFile("[Corvane]\noption=\n");
  get_inifile(s_);
  EXPECT_STREQ(s_.option_name, "");
}

TEST_F(SettingsFile, LongTextIsCutTo259Bytes) {
  WriteFile("[Corvane]\nexe=" + std::string(300, 'e') + "\n");
  get_inifile(s_);
  EXPECT_EQ(std::string(s_.exe_name), std::string(259, 'e'));
}

TEST_F(SettingsFile, WritePrivateProfileIntWritesDecimal) {
  WritePrivateProfileInt("Corvane", "end", -1, s_.ini_name);
  WritePrivateProfileInt("Corvane", "auto", 2147483647, s_.ini_name);
  EXPECT_EQ(FileText(), "[Corvane]\nend=-1\nauto=2147483647\n");
}

TEST(ModulePaths, DirectoryAndSettingsFileBesideTheExecutable) {
  corvane_settings s = {};
  ASSERT_TRUE(set_module_paths(s, "C:\\Corvane\\Corvane.exe"));
  EXPECT_STREQ(s.module_name, "C:\\Corvane\\Corvane.exe");
  EXPECT_STREQ(s.execute_path, "C:\\Corvane");
  EXPECT_STREQ(s.ini_name, "C:\\Corvane\\Corvane.ini");
}

TEST(ModulePaths, RootOfADriveGivesTheBareDrive) {
  corvane_settings s = {};
  ASSERT_TRUE(set_module_paths(s, "D:\\Corvane.exe"));
  EXPECT_STREQ(s.execute_path, "D:");
  EXPECT_STREQ(s.ini_name, "D:\\Corvane.ini");
}

TEST(ModulePaths, RefusedWhenTheSettingsPathDoesNotFit) {
  corvane_settings s = {};
  // A renamed executable with a shorter name than the settings file's.
  const std::string deep = "C:\\" + std::string(248, 'd') + "\\C.exe";  // 257 bytes
  EXPECT_FALSE(set_module_paths(s, deep.c_str()));
  const std::string fits = "C:\\" + std::string(244, 'd') + "\\C.exe";
  EXPECT_TRUE(set_module_paths(s, fits.c_str()));
  EXPECT_EQ(std::strlen(s.ini_name), 259u);
  const std::string too_long = "C:\\" + std::string(260, 'd') + "\\Corvane.exe";
  EXPECT_FALSE(set_module_paths(s, too_long.c_str()));
}

}  // namespace
}  // namespace corvane
