// Real traffic without the lab: the captures recorded from the lab's Samba
// server and smbclient, replayed through the whole pipeline.
#include "tools/replay/replay.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/nimbrel_fixture.h"

namespace nbl {
namespace {

using test::ReadFile;
using test::TempDir;

std::string TreeIdOf(const std::string& sessionsJson, const std::string& service) {
  auto j = nlohmann::json::parse(ReadFile(sessionsJson));
  for (const auto& [key, tcon] : j["tcons"].items())
    if (tcon["service"] == service) return tcon["tcon_id"].get<std::string>();
  return "?";
}

class RecordedCapture : public ::testing::TestWithParam<const char*> {};

TEST_P(RecordedCapture, GivesTheTreeRowsOfTheScenario) {
  const std::string base = std::string(NBL_TEST_DATA "/") + GetParam();
  TempDir dir;
  test::WriteFile(dir.File("Nimbrel.ini"), "[Option]\nDBGmode=5\nPrintMode=0\n");
  ReplayOptions o;
  o.folder = dir.path().string();
  o.capture = base + ".pcap";
  o.sessions = base + ".sessions.json";
  auto app = std::make_unique<Nimbrel>();
  test::ConsoleCapture console;
  app->console.out = console.out();
  app->console.in = nullptr;
  app->files = std::make_unique<test::FakeFileSystem>();  // the files are long gone
  app->resolveName = [](const char*, char* host, size_t cap) {
    std::memset(host, 0, cap);
    return -2;
  };
  std::string why;
  ASSERT_EQ(Replay(o, *app, &why), 0) << why;
  app->diag.CloseLogs();

  std::string log = ReadFile(dir.File("Nimbrel.log"));
  std::string debug = ReadFile(dir.File("NimbrelDBG.log"));
  // Both directions were seen and handled.
  EXPECT_NE(debug.find("==== SMB Packet Recv ===="), std::string::npos);
  EXPECT_NE(debug.find("==== SMB Packet Send ===="), std::string::npos);

  // Every row names the server, the client and Samba's user; none is for IPC$.
  std::istringstream rows(log);
  std::string row;
  std::getline(rows, row);  // title
  std::string dataAccess;
  while (std::getline(rows, row)) {
    EXPECT_EQ(row.find("IPC"), std::string::npos) << row;
    EXPECT_NE(row.find(",10.99.0.1,445,10.99.0.2,"), std::string::npos) << row;
    EXPECT_NE(row.find(",labuser,"), std::string::npos) << row;
    if (dataAccess.empty() && row.find(",Access,") != std::string::npos &&
        row.find("\\\\10.99.0.1\\data\\") != std::string::npos)
      dataAccess = row;
  }
  // The tree-connect Access row carries the tree id the server assigned.
  std::string tree = dataAccess;
  for (int field = 0; field < 4; ++field) tree = tree.substr(tree.find(',') + 1);
  EXPECT_EQ(tree.substr(0, tree.find(',')), TreeIdOf(o.sessions, "data")) << dataAccess;
  EXPECT_NE(log.find(",Connect,"), std::string::npos);
  EXPECT_NE(log.find("\\\\10.99.0.1\\data\\\r\n"), std::string::npos);
  EXPECT_NE(log.find("\\\\10.99.0.1\\second\\\r\n"), std::string::npos);
  EXPECT_NE(log.find(",DisConnect,"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Lab, RecordedCapture,
                         ::testing::Values("smb2-ts", "smb3-ts", "smb2-nots"));

}  // namespace
}  // namespace nbl
