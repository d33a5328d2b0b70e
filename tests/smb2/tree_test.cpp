#include <gtest/gtest.h>

#include "capture/frame/run.h"
#include "tests/support/program_run.h"

namespace nbl {
namespace {

using test::Bytes;
using test::ConnectRequest;
using test::ConnectResponse;
using test::DisconnectResponse;
using test::FrameSpec;
using test::NimbrelInDir;
using test::ProgramRun;
using test::TempDir;

const std::string kLine = "20261211 09:30:05.000000,";
const std::string kAddr = ",10.99.0.1,445,10.99.0.2,49152,,labuser,2,30,,";

TEST(TreeEvents, ConnectAccessDisconnectRowsAreByteExact) {
  ProgramRun run({ConnectRequest(u"\\\\srv\\share"), ConnectResponse(5), DisconnectResponse(5)});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.rows, kLine + "Connect,65279,4369," + kAddr + "\\\\srv\\share\\\r\n" + kLine +
                          "Access,65279,4369,5" + kAddr + "\\\\srv\\share\\\r\n" + kLine +
                          "DisConnect,65279,4369,5" + kAddr + "\r\n");
  EXPECT_NE(run.console.find("> " + kLine + "Access,65279,4369,5" +
                             kAddr.substr(0, kAddr.size() - 1) + "\\\\srv\\share\\\n"),
            std::string::npos)
      << run.console;
  EXPECT_NE(run.console.find("> " + kLine + "DisConnect,65279,4369,5" +
                             kAddr.substr(0, kAddr.size() - 1) + "\n"),
            std::string::npos);
}

TEST(TreeEvents, WhichTreeConnectsGetAnEntry) {
  struct Case {
    const char* name;
    std::vector<FrameSpec> frames;
    std::string wantRows;
  } cases[] = {
      {"IPC$ is skipped", {ConnectRequest(u"\\\\srv\\IPC$")}, ""},
      {"the test is case-sensitive",
       {ConnectRequest(u"\\\\srv\\ipc$")},
       kLine + "Connect,65279,4369," + kAddr + "\\\\srv\\ipc$\\\r\n"},
      {"IPC anywhere", {ConnectRequest(u"\\\\srv\\IPCdata")}, ""},
      {"PathLength 0", {ConnectRequest(u"", 0)}, kLine + "Connect,65279,4369," + kAddr + "\\\r\n"},
      {"an error response still counts",
       {ConnectRequest(u"\\\\srv\\s"), ConnectResponse(9, 0xC0000022)},
       kLine + "Connect,65279,4369," + kAddr + "\\\\srv\\s\\\r\n" + kLine + "Access,65279,4369,9" +
           kAddr + "\\\\srv\\s\\\r\n"},
      {"a response without request", {ConnectResponse(9)}, ""},
      {"a second response for a tree in use starts it afresh",
       {ConnectRequest(u"\\\\srv\\s"), ConnectResponse(9), ConnectResponse(9)},
       kLine + "Connect,65279,4369," + kAddr + "\\\\srv\\s\\\r\n" + kLine + "Access,65279,4369,9" +
           kAddr + "\\\\srv\\s\\\r\n" + kLine + "Access,65279,4369,9" + kAddr + "\r\n"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run(c.frames);
    EXPECT_EQ(run.rows, c.wantRows);
  }
}

TEST(TreeEvents, DisconnectFreesEveryEntryOfTheAddress) {
  FrameSpec other = ConnectRequest(u"\\\\srv\\two");
  other.sessionId = 0x2222;
  FrameSpec otherResponse = ConnectResponse(6);
  otherResponse.sessionId = 0x2222;
  ProgramRun run({ConnectRequest(u"\\\\srv\\one"), ConnectResponse(5), other, otherResponse,
                  ConnectRequest(u"\\\\srv\\three"), DisconnectResponse(77, 0x2222)},
                 "");
  // The disconnected tree is unknown, its session has another tree in use:
  // that entry is written with the disconnected tree's id.
  EXPECT_NE(run.rows.find(kLine + "DisConnect,65279,8738,77" + kAddr + "\r\n"), std::string::npos)
      << run.rows;
  EXPECT_NE(
      run.debug.find("[Info]: NBL_DEL_WAIT NBL_AccessInfoIndex = 1\r\nNBL_DEL_WAIT Clear=1\r\n"),
      std::string::npos)
      << run.debug;
  EXPECT_NE(
      run.debug.find("[Info]: NBL_DEL_USE NBL_AccessInfoIndex = 2\r\nNBL_DEL_USE Clear=2\r\n"),
      std::string::npos);
  EXPECT_NE(run.debug.find("AccessDataCnt Wait=0 : Use=0\r\n"), std::string::npos);
}

TEST(TreeEvents, FieldsFromTheNetworkCannotForgeRows) {
  ProgramRun run({ConnectRequest(u"\\\\srv\\a\r\nforged,row")}, "",
                 [](NimbrelInDir& n) { n.server->sessions.items[0].username = u"lab\nuser"; });
  EXPECT_EQ(run.rows, kLine +
                          "Connect,65279,4369,,10.99.0.1,445,10.99.0.2,49152,,lab?user,2,30,,"
                          "\\\\srv\\a??forged,row\\\r\n");
}

TEST(TreeEvents, LongPathIsCutWithinSharePath) {
  std::u16string path = u"\\\\srv\\" + std::u16string(600, u'p');
  ProgramRun run({ConnectRequest(path)});
  std::string want = "\\\\srv\\" + std::string(510 - 6, 'p') + "\\\r\n";
  ASSERT_GE(run.rows.size(), want.size());
  EXPECT_EQ(run.rows.substr(run.rows.size() - want.size()), want);
}

TEST(TreeEvents, FullTableIsReportedAndCaptureGoesOn) {
  FrameSpec other = ConnectRequest(u"\\\\srv\\two");
  other.sessionId = 0x2222;
  ProgramRun run({ConnectRequest(u"\\\\srv\\one"), other}, "AccessDataCnt=1\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.errors.find("[Warn]: NBL_AccessInfo_ST Empty table Not Find\r\n"),
            std::string::npos);
  EXPECT_EQ(run.rows.find("two"), std::string::npos);
}

TEST(ClientLookup, SessionTableLimitsAndOrder) {
  auto session = [](std::u16string ip, std::u16string user) {
    ServerSession s;
    s.cname = std::move(ip);
    s.username = std::move(user);
    return s;
  };
  {
    // Three records hold two sessions; the client is the third: not seen.
    ProgramRun run({ConnectRequest(u"\\\\srv\\s")}, "SessionSetupCnt=3\n", [&](NimbrelInDir& n) {
      n.server->SetSessions({session(u"10.99.0.5", u"a"), session(u"10.99.0.6", u""),
                             session(u"10.99.0.7", u"b"), session(u"10.99.0.2", u"c"),
                             session(u"10.99.0.8", u"d")});
    });
    EXPECT_EQ(run.rows, "");
    EXPECT_NE(run.errors.find("NBL_SMB_SessionGet_WinApi[NBL_SMB_SessionGet_WinApi]["),
              std::string::npos);
    EXPECT_NE(run.debug.find(": NetSessionEnum buf MAX. (Adjust managed memory)\r\n"),
              std::string::npos);
  }
  {
    // An empty user name is skipped; of two sessions of one client the first counts.
    ProgramRun run({ConnectRequest(u"\\\\srv\\s")}, "", [&](NimbrelInDir& n) {
      n.server->SetSessions({session(u"10.99.0.2", u""), session(u"10.99.0.2", u"first"),
                             session(u"10.99.0.2", u"second")});
    });
    EXPECT_NE(run.rows.find(",first,"), std::string::npos) << run.rows;
  }
}

TEST(ClientLookup, NewSessionIsLookedUpInAFreshList) {
  struct Case {
    const char* name;
    int64_t takenAtMs;
    uint16_t command;
    int wantFresh;
  } cases[] = {
      {"list asked for before the frame, tree connect", test::kFixedNow * 1000 - 100, 0x0003, 1},
      {"list asked for after the frame", test::kFixedNow * 1000 + 10, 0x0003, 0},
      {"a command without rows waits for the next refresh", test::kFixedNow * 1000 - 100, 0x0000,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameSpec s = ConnectRequest(u"\\\\srv\\s");
    s.command = c.command;
    ProgramRun run({s}, "", [&](NimbrelInDir& n) {
      std::vector<ServerSession> now = n.server->sessions.items;
      n.server->SetSessions({});
      n.server->nextFresh = now;
      n.server->takenAtMs = c.takenAtMs;
    });
    EXPECT_EQ(run.n.server->freshCalls, c.wantFresh);
    EXPECT_EQ(run.rows.empty(), c.wantFresh == 0);
  }
}

TEST(ClientLookup, HostNameIsResolvedAndCut) {
  ProgramRun run({ConnectRequest(u"\\\\srv\\s")}, "", [](NimbrelInDir& n) {
    n.resolver.names["10.99.0.2"] = "a-very-long-client-host-name.example.lab";
  });
  EXPECT_NE(run.rows.find(",10.99.0.2,49152,a-very-long-client-host-name.ex,labuser,"),
            std::string::npos)
      << run.rows;
}

}  // namespace
}  // namespace nbl
