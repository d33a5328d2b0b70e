#include "capture/frame/menu.h"

#include <gtest/gtest.h>

#include "capture/frame/run.h"
#include "tests/support/nimbrel_fixture.h"

namespace nbl {
namespace {

using test::NimbrelInDir;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const char kMenu[] =
    "\n------------ Menu --------------------\n1) Device Setup\n2) Option List (Makefile)\n"
    "3) AutoRun Setup\n4) Start Nimbrel\n5) Exit\nMenu number (1-4):";

struct MenuRun {
  // Runs the program with the given settings and console input.
  MenuRun(const std::string& ini, const std::string& input) : n(dir) {
    if (!ini.empty()) WriteFile(dir.File("Nimbrel.ini"), "[Option]\n" + ini);
    n.console.Feed(input);
    exitCode = RunNimbrel(*n.app);
    console = n.console.Text();
  }
  size_t Count(const std::string& what) const {
    size_t c = 0;
    for (size_t at = console.find(what); at != std::string::npos; at = console.find(what, at + 1))
      ++c;
    return c;
  }
  bool Has(const std::string& what) const { return console.find(what) != std::string::npos; }
  TempDir dir;
  NimbrelInDir n;
  int exitCode = 0;
  std::string console;
};

TEST(Menu, StartBeforeDeviceSetupIsRefused) {
  MenuRun run("", "4\n5\n");
  EXPECT_TRUE(run.Has(std::string(kMenu) + "\nERROR : Select the device setup menu.\n\n"));
  EXPECT_EQ(run.Count(kMenu), 2u);
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_TRUE(run.Has("INFO : exit the application.\n\nPress any key to continue . . .\n"));
}

TEST(Menu, NonNumericInputShowsTheMenuAgainAndEndOfInputExits) {
  MenuRun run("", "abc\n\n");
  EXPECT_EQ(run.Count(kMenu), 3u);
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_TRUE(run.Has("INFO : exit the application."));
}

TEST(Menu, DeviceSetupThenStartCaptures) {
  MenuRun run("DBGmode=4\n", "1\n1\n4\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(
      run.Has("Device list\n1. veth-test\n\tDescription: test adapter\n"
              "\tAddress: 10.99.0.1\n\n2. bare\n\nERROR : (No description available)\n"));
  EXPECT_TRUE(run.Has("Enter the interface number (1-2):"));
  EXPECT_TRUE(run.Has("Select Address: 10.99.0.1\n"));
  EXPECT_TRUE(run.Has("INFO : Start Nimbrel.\n\nlistening on ...>\n\n Stop [Ctrl + c]\n"));
  EXPECT_EQ(run.n.capture.openedName, "veth-test");
  ASSERT_NE(run.n.capture.opened, nullptr);
  EXPECT_EQ(run.n.capture.opened->lastFilter, "ip and tcp");
  EXPECT_EQ(run.n.capture.opened->lastNetmask, 0x00FFFFFFu);  // 255.255.255.0 in memory order
}

TEST(Menu, AutoRunAnswersItselfAndChecksTheAdapterNumber) {
  MenuRun ok("AutoRun=1\nDeviceSetNo=1\n", "");
  EXPECT_TRUE(ok.Has(std::string(kMenu) + "1\n\n"));
  EXPECT_TRUE(ok.Has("Enter the interface number (1-2):1\n"));
  EXPECT_EQ(ok.exitCode, 0);

  MenuRun out("AutoRun=1\nDeviceSetNo=3\n", "");
  EXPECT_TRUE(out.Has("\nERROR : Interface number out of range.\n"));
  EXPECT_EQ(out.exitCode, -1);
  out.n.app->diag.CloseLogs();
  EXPECT_NE(ReadFile(out.dir.File("NimbrelERR.log")).find("[Err]: Interface number out of range."),
            std::string::npos);
}

TEST(Menu, DeviceSetupFailures) {
  struct Case {
    const char* name;
    std::function<void(test::FakeCapture&)> setUp;
    std::string input;
    int exitCode;
    const char* want;
  } cases[] = {
      {"adapter list", [](test::FakeCapture& c) { c.listFails = true; }, "1\n", 1,
       "ERROR : Error in pcap_findalldevs: no permission\n"},
      {"no adapters", [](test::FakeCapture& c) { c.devices.clear(); }, "1\n", -1,
       "\nERROR : No interfaces found! Make sure WinPcap is installed.\n"},
      {"non-numeric adapter", [](test::FakeCapture&) {}, "1\nx\n", -1,
       "\nERROR : Interface number out of range.\n"},
      {"adapter without IPv4 address", [](test::FakeCapture&) {}, "1\n2\n", -1,
       "ERROR : The adapter bare has no IPv4 address"},
      {"open fails", [](test::FakeCapture& c) { c.openFails = true; }, "1\n1\n", -1,
       "\nERROR : Unable to open the adapter. veth-test is not supported by WinPcap\n"},
      {"not Ethernet", [](test::FakeCapture& c) { c.datalink = 113; }, "1\n1\n", -1,
       "\nERROR : This program works only on Ethernet networks.\n"},
      {"filter syntax", [](test::FakeCapture& c) { c.filterResult = -1; }, "1\n1\n", -1,
       "\nERROR : Unable to compile the packet filter. Check the syntax. [tcp port]\n"},
      {"filter not set", [](test::FakeCapture& c) { c.filterResult = -2; }, "1\n1\n", -1,
       "\nERROR : Error setting the filter.\n"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir.File("Nimbrel.ini"), "[Option]\nPacketFilter=tcp port\n");
    NimbrelInDir n(dir);
    c.setUp(n.capture);
    n.console.Feed(c.input);
    EXPECT_EQ(RunNimbrel(*n.app), c.exitCode);
    EXPECT_NE(n.console.Text().find(c.want), std::string::npos) << n.console.Text();
  }
}

TEST(Menu, AutoRunToggleWritesTheKeyAndTakesEffectAtOnce) {
  MenuRun run("DeviceSetNo=1\n", "3\n");
  EXPECT_TRUE(run.Has("INFO : AutoRun ON\n"));
  EXPECT_TRUE(run.Has(std::string(kMenu) + "1\n\n"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadFile(run.dir.File("Nimbrel.ini")), "[Option]\nDeviceSetNo=1\nAutoRun=1\n");
}

TEST(Menu, AddressRingCyclesThroughTwelveBuffers) {
  AddressRing ring;
  uint8_t a[4] = {10, 0, 0, 1};
  const char* first = ring.Format(a);
  EXPECT_EQ(first, ring.text[1]);
  for (int i = 0; i < 10; ++i) ring.Format(a);
  EXPECT_EQ(ring.Format(a), ring.text[0]);
  uint8_t out[4] = {0};
  uint8_t b[4] = {192, 168, 1, 200};
  EXPECT_STREQ(ring.Format(b, out), "192.168.1.200");
  EXPECT_EQ(out[3], 200);
}

}  // namespace
}  // namespace nbl
