#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "capture/frame/accesslog.h"
#include "capture/frame/nimbrel.h"
#include "capture/frame/run.h"
#include "platform/files.h"
#include "tests/support/nimbrel_fixture.h"

namespace nbl {
namespace {

using test::NimbrelInDir;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kTitle =
    "Time,Action,Process ID,Session ID,Tree ID,Server IP,Server Port,Client IP,Client "
    "Port,Client Computer Name,Client User Name,Idle Time,Exists,Attributes,Access "
    "Status,Share Path\r\n";

TEST(StampedName, SplitsTheExtensionLikeTheSystem) {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 11;
  t.tm_hour = 9;
  t.tm_min = 30;
  t.tm_sec = 5;
  struct Case {
    const char* path;
    const char* want;
  } cases[] = {
      {"/var/log/Nimbrel.log", "/var/log/Nimbrel261211093005.log"},
      {"/var/log/access", "/var/log/access261211093005"},
      {"/var/log.d/access", "/var/log.d/access261211093005"},
      {"a.b.c", "a.b261211093005.c"},
      {"x.0123456789abcdefXYZ", "x261211093005.0123456789abcd"},
  };
  for (const Case& c : cases) {
    char out[kPathCap];
    ASSERT_TRUE(MakeStampedName(c.path, t, out));
    EXPECT_STREQ(out, c.want);
  }
  std::string tooLong(505, 'a');
  char out[kPathCap];
  EXPECT_FALSE(MakeStampedName(tooLong.c_str(), t, out));
}

TEST(StartUp, FirstStartCreatesLogsAndTheTitleLine) {
  TempDir dir;
  NimbrelInDir::WriteAutoRunIni(dir);
  NimbrelInDir n(dir);
  EXPECT_EQ(RunNimbrel(*n.app), 0);
  std::string con = n.console.Text();
  EXPECT_EQ(con.find("SET :"), std::string::npos);
  std::string err = ReadFile(dir.File("NimbrelERR.log"));
  EXPECT_EQ(err.rfind("[wWinMain][", 0), 0u);
  EXPECT_NE(err.find("[Info]: ------------ Start Nimbrel ------------\r\n"), std::string::npos);
  EXPECT_NE(err.find("[Info]: MakeIniFileName Load\r\n"), std::string::npos);
  std::string access = ReadFile(dir.File("Nimbrel.log"));
  EXPECT_EQ(kTitle.size(), 178u);
  EXPECT_EQ(access, kTitle);
}

TEST(StartUp, SecondStartSetsLogsAsideUnderStampedNames) {
  TempDir dir;
  NimbrelInDir::WriteAutoRunIni(dir);
  {
    NimbrelInDir first(dir, test::kFixedNow - 60);
    ASSERT_EQ(RunNimbrel(*first.app), 0);
  }
  NimbrelInDir second(dir);
  ASSERT_EQ(RunNimbrel(*second.app), 0);
  std::string con = second.console.Text();
  for (const char* name : {"NimbrelERR", "NimbrelDBG", "Nimbrel"}) {
    std::string base = dir.File(std::string(name) + ".log");
    std::string stamped = dir.File(std::string(name) + "261211093005.log");
    EXPECT_NE(con.find(std::string("SET : ") + name + ".log Base   Path : " + base + "\n"),
              std::string::npos)
        << con;
    EXPECT_NE(con.find(std::string("SET : ") + name + ".log Change Path : " + stamped + "\n"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(stamped)) << stamped;
  }
  EXPECT_EQ(ReadFile(dir.File("Nimbrel.log")), kTitle);
  EXPECT_EQ(ReadFile(dir.File("Nimbrel261211093005.log")), kTitle);
}

TEST(StartUp, TwoStartsInTheSameSecondEndWithExitCodeOne) {
  TempDir dir;
  NimbrelInDir::WriteAutoRunIni(dir);
  for (int i = 0; i < 2; ++i) {
    NimbrelInDir n(dir);
    ASSERT_EQ(RunNimbrel(*n.app), 0);
  }
  NimbrelInDir third(dir);
  EXPECT_EQ(RunNimbrel(*third.app), 1);
  EXPECT_NE(third.console.Text().find("\nNimbrelERR.log File Name Switch Failed : " +
                                      dir.File("NimbrelERR261211093005.log") + "\n"),
            std::string::npos);
}

TEST(StartUp, NoRotationAppendsWithoutASecondTitle) {
  TempDir dir;
  NimbrelInDir::WriteAutoRunIni(dir, "AplStartLogRotation=0\n");
  WriteFile(dir.File("Nimbrel.log"), kTitle + "old row\r\n");
  NimbrelInDir n(dir);
  ASSERT_EQ(RunNimbrel(*n.app), 0);
  EXPECT_EQ(ReadFile(dir.File("Nimbrel.log")), kTitle + "old row\r\n");
  EXPECT_NE(n.console.Text().find("SET : Nimbrel.log Change Path"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Nimbrel261211093005.log")));
}

// Opens the logs of a start-up and the access log, for row tests.
struct OpenNimbrel {
  explicit OpenNimbrel(const TempDir& dir) : n(dir) {
    EXPECT_FALSE(StartUp(*n.app).has_value());
    EXPECT_FALSE(n.app->accessLog.OpenAtCaptureStart(n.app->exePath, n.app->now()).has_value());
  }
  bool Row(std::u16string_view fmt, std::initializer_list<FmtArg> args) {
    FmtResult r = FormatWide(n.app->diag.message(), kMessageCap, fmt, args);
    return n.app->accessLog.WriteRow(r.length);
  }
  NimbrelInDir n;
};

TEST(AccessLog, RowsReachTheFileInCp932) {
  TempDir dir;
  OpenNimbrel o(dir);
  ASSERT_TRUE(o.Row(u"%s,%s\r\n", {u"20261211 09:30:05.000001", u"\\\\srv\\共有\\報告.txt"}));
  o.n.app->accessLog.Close();
  EXPECT_EQ(
      ReadFile(dir.File("Nimbrel.log")),
      kTitle + "20261211 09:30:05.000001,\\\\srv\\\x8b\xa4\x97\x4c\\\x95\xf1\x8d\x90.txt\r\n");
}

TEST(AccessLog, CharacterOutsideCp932IsWrittenAsQuestionMarkAndReported) {
  TempDir dir;
  OpenNimbrel o(dir);
  ASSERT_TRUE(o.Row(u"Access,%s\r\n", {u"secret\U0001F600.txt"}));
  o.n.app->accessLog.Close();
  o.n.app->diag.CloseLogs();
  EXPECT_EQ(ReadFile(dir.File("Nimbrel.log")), kTitle + "Access,secret?.txt\r\n");
  EXPECT_NE(ReadFile(dir.File("NimbrelERR.log")).find("outside code page 932"), std::string::npos);
}

TEST(AccessLog, LongRowIsWrittenWholeWithItsLineEnd) {
  TempDir dir;
  OpenNimbrel o(dir);
  std::u16string longName(3000, u'n');
  ASSERT_TRUE(o.Row(u"Access,%s,%s\r\n", {longName, longName}));
  ASSERT_TRUE(o.Row(u"next\r\n", {}));
  o.n.app->accessLog.Close();
  std::string want =
      kTitle + "Access," + std::string(3000, 'n') + "," + std::string(3000, 'n') + "\r\nnext\r\n";
  EXPECT_EQ(ReadFile(dir.File("Nimbrel.log")), want);
}

TEST(Diag, LongLogLineIsCutKeepingItsLineEnd) {
  TempDir dir;
  OpenNimbrel o(dir);
  o.n.app->diag.ToErr(u"[%hs][%d][Warn]: %s\n", "f", 1, std::u16string(400, u'x'));
  o.n.app->diag.ToErr(u"next\n");
  o.n.app->diag.CloseLogs();
  std::string err = ReadFile(dir.File("NimbrelERR.log"));
  size_t at = err.find("[f][1][Warn]: ");
  ASSERT_NE(at, std::string::npos);
  std::string line = err.substr(at, err.find("\r\n", at) + 2 - at);
  EXPECT_EQ(line.size(), 255u + 1u);  // 254 characters, then CR LF from the "\n"
  EXPECT_NE(err.find("\r\nnext\r\n"), std::string::npos);
}

TEST(Files, SecondProcessCannotWriteALogTheFirstHolds) {
  TempDir dir;
  std::string path = dir.File("NimbrelERR.log");
  LogStream first;
  int err = 0;
  ASSERT_TRUE(first.Open(path.c_str(), &err));
  pid_t pid = fork();
  if (pid == 0) {
    LogStream second;
    int e = 0;
    bool opened = second.Open(path.c_str(), &e);
    AccessFile access;
    bool accessOpened = access.Open(path.c_str(), &e);
    bool renamed = RenameNoReplace(path.c_str(), (path + ".moved").c_str(), &e);
    _exit(opened || accessOpened || renamed ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // Others may still read it.
  EXPECT_EQ(PathAccess(path.c_str()), 0);
  EXPECT_EQ(PathAccess(dir.File("missing").c_str()), kNoSuchFile);
}

TEST(Files, RenameNeverReplacesAnExistingFile) {
  TempDir dir;
  WriteFile(dir.File("a"), "a");
  WriteFile(dir.File("b"), "b");
  int err = 0;
  EXPECT_FALSE(RenameNoReplace(dir.File("a").c_str(), dir.File("b").c_str(), &err));
  EXPECT_EQ(ReadFile(dir.File("b")), "b");
  EXPECT_TRUE(RenameNoReplace(dir.File("a").c_str(), dir.File("c").c_str(), &err));
}

}  // namespace
}  // namespace nbl
