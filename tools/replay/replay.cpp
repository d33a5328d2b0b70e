#include "tools/replay/replay.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "capture/frame/byteview.h"
#include "capture/frame/loop.h"
#include "platform/samba_status.h"

namespace nbl {
namespace {

// The lists a sessions file gave; they do not change while the capture plays.
class RecordedServer : public FileServer {
 public:
  const ServerList<ServerSession>& Sessions(bool) override { return sessions; }
  int64_t SessionsTakenAtMs() const override { return INT64_MAX; }  // never asked again
  const ServerList<ServerOpenFile>& OpenFiles() override { return files; }
  ServerList<ServerSession> sessions;
  ServerList<ServerOpenFile> files;
};

bool LoadSessions(const std::string& path, RecordedServer* server, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot read " + path;
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  if (ParseSambaStatus(text, -1, &server->sessions.items, &server->files.items)) return true;
  std::istringstream lines(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(lines, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string part; std::getline(fields, part, ',');) f.push_back(part);
    if (f.size() < 2) {
      *why = path + ":" + std::to_string(lineNo) + ": expected 'address,user,...'";
      return false;
    }
    ServerSession s;
    s.cname = SystemToWide(f[0]);
    s.username = SystemToWide(f[1]);
    if (f.size() > 2) s.time = std::strtoull(f[2].c_str(), nullptr, 10);
    if (f.size() > 3) s.idle_time = std::strtoull(f[3].c_str(), nullptr, 10);
    if (f.size() > 4) s.cltype_name = SystemToWide(f[4]);
    server->sessions.items.push_back(std::move(s));
  }
  return true;
}

// The address of the side that uses TCP port 445 in the first frame that has it.
bool InferServer(const char* pcap, uint8_t out[4]) {
  char err[kCaptureErrCap] = {0};
  auto src = OpenCaptureFile(pcap, err);
  if (!src) return false;
  FrameHeader h;
  const uint8_t* data = nullptr;
  while (src->Next(&h, &data) == 1) {
    ByteView f(data, h.caplen);
    auto ver = f.U8(14);
    if (!ver || !f.Has(26, 8)) continue;
    size_t tcp = 14 + (*ver & 0x0Fu) * 4u;
    auto sport = f.BE16(tcp), dport = f.BE16(tcp + 2);
    if (!sport || !dport) continue;
    size_t at = *sport == 445 ? 26 : *dport == 445 ? 30 : 0;
    if (at == 0) continue;
    for (size_t i = 0; i < 4; ++i) out[i] = *f.U8(at + i);
    return true;
  }
  return false;
}

}  // namespace

bool LoadRecordedServer(const std::string& path, std::unique_ptr<FileServer>* server,
                        std::string* why) {
  auto recorded = std::make_unique<RecordedServer>();
  if (!LoadSessions(path, recorded.get(), why)) return false;
  *server = std::move(recorded);
  return true;
}

bool InferServerAddress(const char* capture, uint8_t out[4]) {
  return InferServer(capture, out);
}

int Replay(const ReplayOptions& o, Nimbrel& app, std::string* why) {
  uint8_t server[4];
  if (o.haveServer) {
    std::memcpy(server, o.server, 4);
  } else if (!InferServer(o.capture.c_str(), server)) {
    *why = "no frame of " + o.capture + " uses TCP port 445; give --server";
    return 2;
  }
  std::string exe = o.folder + "/Nimbrel";
  app.exePath = [exe](char* buf, size_t cap) {
    if (exe.size() + 1 > cap) return false;
    std::memcpy(buf, exe.c_str(), exe.size() + 1);
    return true;
  };
  if (!o.sessions.empty() && !LoadRecordedServer(o.sessions, &app.server, why)) return 2;
  if (auto code = StartUp(app)) return *code;
  char err[kCaptureErrCap] = {0};
  std::unique_ptr<FrameSource> source = OpenCaptureFile(o.capture.c_str(), err);
  if (!source) {
    *why = err;
    return 2;
  }
  std::memcpy(app.serverAddress, server, 4);
  app.serverAddressSet = true;
  return StartCapture(app, *source);
}

}  // namespace nbl
