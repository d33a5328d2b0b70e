#include <gtest/gtest.h>

#include "tests/support/program_run.h"

namespace nbl {
namespace {

using test::ConnectRequest;
using test::ConnectResponse;
using test::CreateRequest;
using test::FrameSpec;
using test::NimbrelInDir;
using test::ProgramRun;
using test::RenameRequest;

const int64_t kNow = test::kFixedNow;
const std::string kHead =
    "20261211 09:30:05.000000,Access,65279,4369,5,10.99.0.1,445,10.99.0.2,49152,,labuser,2,30,";

// A connected tree (\\srv\share\, tree 5), then the given requests.
std::vector<FrameSpec> OnTree(std::vector<FrameSpec> requests) {
  std::vector<FrameSpec> frames = {ConnectRequest(u"\\\\srv\\share"), ConnectResponse(5)};
  frames.insert(frames.end(), requests.begin(), requests.end());
  return frames;
}

// The file rows of a run: the Access rows after the tree connect's.
std::vector<std::string> FileRows(const ProgramRun& run) {
  std::vector<std::string> rows;
  size_t at = 0;
  int line = 0;
  while (at < run.rows.size()) {
    size_t end = run.rows.find("\r\n", at);
    std::string row = run.rows.substr(at, end - at);
    if (line++ >= 2 && row.find(",Access,") != std::string::npos) rows.push_back(row);
    at = end + 2;
  }
  return rows;
}

// Files of \\srv\share\ as the fake file system shows them.
void Files(NimbrelInDir& n) {
  n.files->Add(u"\\\\srv\\share\\old.txt", 0x20, kNow - 100, kNow - 60, kNow - 60);
  n.files->Add(u"\\\\srv\\share\\docs\\plan.txt", 0x21, kNow - 100, kNow - 60, kNow - 60);
  n.files->Add(u"\\\\srv\\share\\docs\\plan.txt:other", 0x20, kNow - 100, kNow - 60, kNow - 60);
  n.files->Add(u"\\\\srv\\share\\Backup\\LSARPC.txt", 0x20, kNow - 100, kNow - 60, kNow - 60);
  n.files->Add(u"\\\\srv\\share\\dir", 0x10, kNow - 100, kNow - 60, kNow - 60);
}

TEST(FileRequests, WhichRequestsGetARow) {
  std::u16string name255(255, u'n');
  struct Case {
    const char* name;
    FrameSpec request;
    std::string want;  // the row's tail from the Attributes column; "" for no row
  } cases[] = {
      {"a viewed file", CreateRequest(u"old.txt"), "A,View,\\\\srv\\share\\old.txt"},
      {"NameLength 510 is handled", CreateRequest(name255),
       ",Delete,\\\\srv\\share\\" + std::string(255, 'n')},
      {"NameLength 511 is refused", CreateRequest(name255 + u"x", 5, 511), ""},
      {"the Zone.Identifier stream is cut", CreateRequest(u"docs\\plan.txt:Zone.Identifier"),
       "A|R,View,\\\\srv\\share\\docs\\plan.txt"},
      {"another stream is kept", CreateRequest(u"docs\\plan.txt:other"),
       "A,View,\\\\srv\\share\\docs\\plan.txt:other"},
      {"a named pipe", CreateRequest(u"srvsvc"), ""},
      {"a pipe name inside a path", CreateRequest(u"Backup\\lsarpcdump.txt"), ""},
      {"the skip list is case-sensitive", CreateRequest(u"Backup\\LSARPC.txt"),
       "A,View,\\\\srv\\share\\Backup\\LSARPC.txt"},
      {"the share root", CreateRequest(u""), ""},
      {"a folder", CreateRequest(u"dir"), "D,View,\\\\srv\\share\\dir"},
      {"a missing file", CreateRequest(u"gone.txt"), ",Delete,\\\\srv\\share\\gone.txt"},
      {"a rename", RenameRequest(u"new.txt"), ",Rename,\\\\srv\\share\\new.txt"},
      {"another information class", RenameRequest(u"new.txt", 5, 4), ""},
      {"a control character cannot split the row", CreateRequest(u"a\r\nb.txt"),
       ",Delete,\\\\srv\\share\\a??b.txt"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run(OnTree({c.request}), "", Files);
    std::vector<std::string> rows = FileRows(run);
    if (c.want.empty()) {
      EXPECT_TRUE(rows.empty()) << run.rows;
    } else {
      ASSERT_EQ(rows.size(), 1u) << run.rows;
      EXPECT_EQ(rows[0], kHead + c.want);
    }
  }
}

TEST(FileRequests, OversizedNameIsReported) {
  ProgramRun run(OnTree({CreateRequest(std::u16string(300, u'n'), 5, 600)}), "DBGmode=2\n", Files);
  EXPECT_NE(run.errors.find("[Warn]: SMB2_CTRATE_REQUEST CTRATE_REQUEST->NameLength=600\r\n"),
            std::string::npos);
  EXPECT_NE(run.debug.find("<< BF sBuffer = " + std::string(128, 'n') + " ("), std::string::npos);
}

TEST(FileRequests, ShortSetInfoIsIgnored) {
  FrameSpec exact = RenameRequest(u"");
  exact.body.resize(51);  // 51 bytes and a length of 0
  ProgramRun run(OnTree({exact}), "DBGmode=2\n", Files);
  EXPECT_TRUE(FileRows(run).empty());
  EXPECT_NE(run.debug.find("<< Recv Size Short\r\n"), std::string::npos);
}

TEST(FileRequests, RepeatedViewsBecomeOpenUntilAnotherConnectionComesBetween) {
  FrameSpec other = CreateRequest(u"old.txt");
  other.srcPort = 50000;  // another connection of the same client
  ProgramRun chain(
      OnTree({CreateRequest(u"old.txt"), CreateRequest(u"old.txt"), CreateRequest(u"old.txt")}), "",
      Files);
  std::vector<std::string> rows = FileRows(chain);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NE(rows[0].find(",View,"), std::string::npos);
  EXPECT_NE(rows[1].find(",Open,"), std::string::npos);
  EXPECT_NE(rows[2].find(",Open,"), std::string::npos);

  ProgramRun broken(OnTree({CreateRequest(u"old.txt"), other, CreateRequest(u"old.txt"),
                            CreateRequest(u"old.txt")}),
                    "", Files);
  rows = FileRows(broken);
  ASSERT_EQ(rows.size(), 4u) << broken.rows;
  EXPECT_NE(rows[0].find(",View,"), std::string::npos);
  EXPECT_NE(rows[1].find(",View,"), std::string::npos);  // the other connection's own first
  EXPECT_NE(rows[2].find(",View,"), std::string::npos);
  EXPECT_NE(rows[3].find(",Open,"), std::string::npos);
}

TEST(FileRequests, RenameAfterDeleteJoinsTheNames) {
  ProgramRun run(
      OnTree({CreateRequest(u"a\\old.txt"), RenameRequest(u"a\\new.txt"), RenameRequest(u"b.txt")}),
      "", Files);
  std::vector<std::string> rows = FileRows(run);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], kHead + ",Delete,\\\\srv\\share\\a\\old.txt");
  EXPECT_EQ(rows[1], kHead + ",Rename,\\\\srv\\share\\a\\old.txt >> a\\new.txt");
  EXPECT_EQ(rows[2], kHead + ",Rename,\\\\srv\\share\\b.txt");  // no Delete before it

  // A joined name longer than 255 units is cut there.
  std::u16string longName(200, u'x');
  ProgramRun cut(OnTree({CreateRequest(longName), RenameRequest(longName + u"y")}), "", Files);
  rows = FileRows(cut);
  ASSERT_EQ(rows.size(), 2u);
  std::string joined = std::string(200, 'x') + " >> " + std::string(51, 'x');
  EXPECT_EQ(rows[1], kHead + ",Rename,\\\\srv\\share\\" + joined);
}

TEST(FileRequests, TreeNeverConnectedGivesNotFindAndTheNameAlone) {
  ProgramRun run({CreateRequest(u"old.txt", 9)}, "DBGmode=0\n", Files);
  EXPECT_EQ(run.rows,
            "20261211 09:30:05.000000,Access,65279,4369,9,10.99.0.1,445,10.99.0.2,49152,,labuser,"
            "2,30,,NotFind,old.txt\r\n");
  EXPECT_NE(run.errors.find("[Warn]: NBL_CheckExistFileOrFolder Not Find Error.\r\n"),
            std::string::npos);
}

TEST(FileRequests, OpenFilesGiveTheSharesLocalRoot) {
  ProgramRun run(OnTree({CreateRequest(u"docs\\report.txt")}), "", [](NimbrelInDir& n) {
    ServerOpenFile other;  // another client's open file does not count
    other.path = u"/elsewhere/x.txt";
    other.shareRelativePath = u"x.txt";
    other.clientAddress = u"10.99.0.9";
    ServerOpenFile mine;
    mine.path = u"/srv/data/docs/held.txt";
    mine.shareRelativePath = u"docs/held.txt";
    mine.clientAddress = u"10.99.0.2";
    ServerOpenFile pipe;
    pipe.path = u"\\PIPE\\srvsvc";
    pipe.clientAddress = u"10.99.0.2";
    n.server->openFiles.items = {pipe, other, mine};
    n.files->Add(u"/srv/data/docs/report.txt", 0x20, kNow - 100, kNow - 60, kNow - 60);
  });
  std::vector<std::string> rows = FileRows(run);
  ASSERT_EQ(rows.size(), 1u) << run.rows;
  EXPECT_EQ(rows[0], kHead + "A,View,/srv/data/docs/report.txt");
}

}  // namespace
}  // namespace nbl
