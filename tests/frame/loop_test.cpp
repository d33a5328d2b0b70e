#include "capture/frame/loop.h"

#include <gtest/gtest.h>

#include <cstring>

#include "capture/frame/run.h"
#include "tests/support/nimbrel_fixture.h"

namespace nbl {
namespace {

using test::Bytes;
using test::FrameSpec;
using test::NimbrelInDir;
using test::TempDir;
using test::TimedFrame;

// Runs the whole program on the frames with every trace on; returns the debug log.
struct TraceRun {
  explicit TraceRun(std::vector<TimedFrame> frames, int endCode = -2) : n(dir) {
    NimbrelInDir::WriteAutoRunIni(dir, "DBGmode=5\nDBGmodePrt=5\n");
    n.capture.frames = std::move(frames);
    n.capture.endCode = endCode;
    exitCode = RunNimbrel(*n.app);
    n.app->diag.CloseLogs();
    debug = n.Debug(dir);
    console = n.console.Text();
  }
  TempDir dir;
  NimbrelInDir n;
  int exitCode = 0;
  std::string debug;
  std::string console;
};

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

TimedFrame Raw(Bytes data, std::optional<uint32_t> wireLen = std::nullopt) {
  TimedFrame f;
  f.data = std::move(data);
  f.wireLen = wireLen;
  return f;
}
TimedFrame Frame(const FrameSpec& frame) {
  return Raw(test::BuildFrame(frame));
}

TEST(LoopHead, AcceptsAndDropsFramesByTheirFraming) {
  FrameSpec plain;  // a request with an empty SMB2 body: 14 + 20 + 20 + 4 + 64 = 122 bytes
  FrameSpec ipOptions = plain;
  ipOptions.ipOptions = 4;
  FrameSpec tcpOptions = plain;
  tcpOptions.tcpOptions = 12;  // data offset 8, as Linux clients send with timestamps
  FrameSpec response = plain;
  response.Response();
  FrameSpec smb1 = plain;
  smb1.protocolId[0] = 0xFF;
  FrameSpec notSmb;
  notSmb.smbHeader = false;
  notSmb.body = Bytes(100, 0x41);
  FrameSpec shortTcp;
  shortTcp.smbHeader = false;
  shortTcp.body = Bytes(6, 0);  // 60 bytes: the Ethernet minimum
  FrameSpec between = plain;    // two other hosts: a request to its destination
  between.src[3] = 7;
  between.dst[3] = 8;

  Bytes badOffset = test::BuildFrame(plain);
  badOffset[14 + 20 + 12] = 4 << 4;  // data offset below 5
  Bytes cutIp = test::BuildFrame(plain);
  cutIp.resize(30);  // not even the addresses were captured
  Bytes oneShort = test::BuildFrame(ipOptions);
  oneShort.pop_back();

  struct Case {
    const char* name;
    TimedFrame frame;
    const char* wantDebug;  // nullptr: the frame must be dropped without an SMB2 trace
    const char* wantConsole = nullptr;
  } cases[] = {
      {"exact minimum length", Frame(plain),
       "==== SMB Packet Recv ====", "<<<< IPADDR: 10.99.0.2.49152 -> 10.99.0.1.445 >>>>"},
      {"IPv4 options shift every offset", Frame(ipOptions), "==== SMB Packet Recv ===="},
      {"TCP options (data offset 8)", Frame(tcpOptions), "==== SMB Packet Recv ===="},
      {"from the server is a response", Frame(response),
       "==== SMB Packet Send ====", ">> CL_IP_Port:10.99.0.2.49152  SV_IP_Port:10.99.0.1.445"},
      {"between other hosts is a request", Frame(between),
       "==== SMB Packet Recv ====", "<< CL_IP_Port:10.99.0.7.49152  SV_IP_Port:10.99.0.8.445"},
      {"SMB1 is traced and dropped", Frame(smb1), nullptr},
      {"not SMB", Frame(notSmb), nullptr},
      {"60-byte frame", Frame(shortTcp), nullptr},
      {"TCP data offset below 5", Raw(badOffset), nullptr},
      {"addresses not captured", Raw(cutIp, 200), nullptr},
      {"one byte short with IPv4 options", Raw(oneShort), nullptr},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TraceRun run({c.frame});
    EXPECT_EQ(run.exitCode, 0);
    bool accepted = Has(run.debug, "==== SMB Packet");
    if (c.wantDebug) {
      EXPECT_TRUE(Has(run.debug, c.wantDebug)) << run.debug;
    } else {
      EXPECT_FALSE(accepted) << run.debug;
    }
    if (c.wantConsole) {
      EXPECT_TRUE(Has(run.console, c.wantConsole)) << run.console;
    }
  }
  TraceRun smb1Run({Frame(smb1)});
  EXPECT_TRUE(Has(smb1Run.debug, "<< SMB1\r\n"));
}

TEST(LoopHead, TracesTheCommandOfEachSide) {
  FrameSpec request;
  request.command = 0x0005;
  FrameSpec response;
  response.Response();
  response.command = 0x0003;
  FrameSpec unnamed;
  unnamed.Response();
  unnamed.command = 0x0013;
  TraceRun run({Frame(request), Frame(response), Frame(unnamed)});
  EXPECT_TRUE(Has(run.debug, "<< SMB2_HEADER_REQUEST\r\nSMB2 CMD:0x05\r\n"));
  EXPECT_TRUE(Has(run.console, "<< SMB2_HEADER_REQUEST\nSMB2 CMD:0x05\n"));
  EXPECT_TRUE(Has(run.debug,
                  ">> SMB2_HEADER_RESPONSE\r\nSMB2 CMD : 0x03\r\nSMB CMD:SMB2_TREE_CONNECT\r\n"));
  EXPECT_TRUE(Has(run.console, "SMB CMD:SMB2_TREE_CONNECT\n\n"));
  EXPECT_TRUE(Has(run.debug, "SMB2 CMD : 0x13\r\n"));
  EXPECT_FALSE(Has(run.debug, "SMB2 CMD : 0x13\r\nSMB CMD:"));
  EXPECT_TRUE(Has(run.debug, "TIME  : 20261211 09:30:05,000000\r\n"));
}

TEST(CaptureLoop, ReadErrorEndsWithMinusOneAfterBothLogs) {
  TraceRun run({}, -1);
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_TRUE(Has(run.debug, "[Err]: Error reading the packets: fake read error\r\n"));
  EXPECT_TRUE(Has(test::ReadFile(run.dir.File("NimbrelERR.log")),
                  "[Err]: Error reading the packets: fake read error\r\n"));
  EXPECT_TRUE(Has(run.console, "ERROR : Error reading the packets: fake read error\n"));
}

TEST(CaptureLoop, ReplaysACaptureFileToItsEnd) {
  TempDir dir;
  FrameSpec request;
  request.command = 0x0003;
  FrameSpec response;
  response.Response();
  response.command = 0x0003;
  std::string pcap = dir.File("two.pcap");
  test::WritePcap(pcap, {Frame(request), Frame(response)});

  NimbrelInDir n(dir);
  NimbrelInDir::WriteAutoRunIni(dir, "DBGmode=5\n");
  ASSERT_FALSE(StartUp(*n.app).has_value());
  char err[kCaptureErrCap] = {0};
  std::unique_ptr<FrameSource> file = OpenCaptureFile(pcap.c_str(), err);
  ASSERT_TRUE(file) << err;
  std::memcpy(n.app->serverAddress, test::kServer, 4);
  EXPECT_EQ(StartCapture(*n.app, *file), 0);
  std::string debug = n.Debug(dir);
  size_t recv = debug.find("==== SMB Packet Recv ====");
  size_t send = debug.find("==== SMB Packet Send ====");
  ASSERT_NE(recv, std::string::npos);
  ASSERT_NE(send, std::string::npos);
  EXPECT_LT(recv, send);
  EXPECT_TRUE(Has(debug, "[Info]: listening on\r\n"));
}

TEST(CaptureStart, RefusesTablesWithoutEntries) {
  struct Case {
    const char* setting;
    const char* want;
  } cases[] = {
      {"SessionSetupCnt=0\n", "SessionSetupCnt=0 : every table needs at least one entry"},
      {"AccessDataCnt=-5\n", "AccessDataCnt=-5 : every table needs at least one entry"},
      {"SmbOpenFileCnt=2147483647\n", "malloc Error (NBL_SmbOpenFile_ST)"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    NimbrelInDir n(dir);
    NimbrelInDir::WriteAutoRunIni(dir, c.setting);
    EXPECT_EQ(RunNimbrel(*n.app), -1);
    EXPECT_TRUE(Has(n.console.Text(), c.want)) << n.console.Text();
    n.app->diag.CloseLogs();
    EXPECT_TRUE(Has(test::ReadFile(dir.File("NimbrelERR.log")), c.want));
  }
}

}  // namespace
}  // namespace nbl
