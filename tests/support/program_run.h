// Whole runs of the program over crafted frames, and the frames of the
// tracked commands of one client session.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/frame/run.h"
#include "tests/support/nimbrel_fixture.h"

namespace nbl::test {

inline constexpr uint64_t kSession = 0x1111;  // 4369

inline TimedFrame F(const FrameSpec& s) {
  TimedFrame f;
  f.data = test::BuildFrame(s);
  return f;
}
inline FrameSpec ConnectRequest(const std::u16string& path,
                                std::optional<uint16_t> len = std::nullopt) {
  FrameSpec s;
  s.command = 0x0003;
  s.sessionId = kSession;
  s.body = test::TreeConnectRequestBody(path, len);
  return s;
}
inline FrameSpec ConnectResponse(uint32_t tree, uint32_t status = 0) {
  FrameSpec s;
  s.Response();
  s.command = 0x0003;
  s.sessionId = kSession;
  s.treeId = tree;
  s.status = status;
  s.body = test::TreeConnectResponseBody();
  return s;
}
inline FrameSpec DisconnectResponse(uint32_t tree, uint64_t session = kSession) {
  FrameSpec s;
  s.Response();
  s.command = 0x0004;
  s.sessionId = session;
  s.treeId = tree;
  s.body = Bytes(4, 0);
  return s;
}

// Runs the program over the frames; the access log's rows without the title.
struct ProgramRun {
  ProgramRun(std::vector<FrameSpec> frames, const std::string& ini = "",
             std::function<void(NimbrelInDir&)> setUp = nullptr)
      : n(dir) {
    NimbrelInDir::WriteAutoRunIni(dir, "DBGmode=4\n" + ini);
    for (const FrameSpec& s : frames) n.capture.frames.push_back(F(s));
    if (setUp) setUp(n);
    exitCode = RunNimbrel(*n.app);
    n.app->diag.CloseLogs();
    std::string log = test::ReadFile(dir.File("Nimbrel.log"));
    rows = log.substr(log.find("\r\n") + 2);
    debug = n.Debug(dir);
    errors = test::ReadFile(dir.File("NimbrelERR.log"));
    console = n.console.Text();
  }
  TempDir dir;
  NimbrelInDir n;
  int exitCode = 0;
  std::string rows, debug, errors, console;
};

inline FrameSpec CreateRequest(const std::u16string& name, uint32_t tree = 5,
                               std::optional<uint16_t> nameLength = std::nullopt) {
  FrameSpec s;
  s.command = 0x0005;
  s.sessionId = kSession;
  s.treeId = tree;
  s.body = CreateRequestBody(name, nameLength);
  return s;
}

inline FrameSpec RenameRequest(const std::u16string& name, uint32_t tree = 5,
                               uint8_t infoClass = 10) {
  FrameSpec s;
  s.command = 0x0011;
  s.sessionId = kSession;
  s.treeId = tree;
  s.body = SetInfoRenameBody(name, infoClass);
  return s;
}

}  // namespace nbl::test
