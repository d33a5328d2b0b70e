// nimbrel-replay: runs the capture program's whole pipeline over a capture
// file (for example one taken with tcpdump on a file server), writing the same
// access log, error log and debug log that Nimbrel writes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "capture/frame/byteview.h"
#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"
#include "platform/samba_status.h"

namespace {

const char kUsage[] =
    "usage: nimbrel-replay [options] CAPTURE.pcap\n"
    "  --out DIR         the program's folder: Nimbrel.ini is read from it and the\n"
    "                    logs are written into it (default: the current folder)\n"
    "  --ini FILE        settings to use; copied to DIR/Nimbrel.ini\n"
    "  --server A.B.C.D  the file server's address (default: the side that uses\n"
    "                    TCP port 445 in the first such frame)\n"
    "  --sessions FILE   the server's session list at the time: a report of\n"
    "                    'smbstatus --json', or lines 'address,user[,seconds since\n"
    "                    set-up[,idle seconds[,client type]]]'\n"
    "  --samba           ask the running Samba server named in section [Samba] of\n"
    "                    the settings (the default without --sessions)\n";

// The lists a sessions file gave; they do not change while the capture plays.
class RecordedServer : public nbl::FileServer {
 public:
  const nbl::ServerList<nbl::ServerSession>& Sessions(bool) override { return sessions; }
  int64_t SessionsAgeMs() const override { return 0; }
  const nbl::ServerList<nbl::ServerOpenFile>& OpenFiles() override { return files; }
  nbl::ServerList<nbl::ServerSession> sessions;
  nbl::ServerList<nbl::ServerOpenFile> files;
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
  if (nbl::ParseSambaStatus(text, -1, &server->sessions.items, &server->files.items)) return true;
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
    nbl::ServerSession s;
    s.cname = nbl::SystemToWide(f[0]);
    s.username = nbl::SystemToWide(f[1]);
    if (f.size() > 2) s.time = std::strtoull(f[2].c_str(), nullptr, 10);
    if (f.size() > 3) s.idle_time = std::strtoull(f[3].c_str(), nullptr, 10);
    if (f.size() > 4) s.cltype_name = nbl::SystemToWide(f[4]);
    server->sessions.items.push_back(std::move(s));
  }
  return true;
}

// The address of the side that uses TCP port 445 in the first frame that has it.
bool InferServer(const char* pcap, uint8_t out[4]) {
  char err[nbl::kCaptureErrCap] = {0};
  auto src = nbl::OpenCaptureFile(pcap, err);
  if (!src) return false;
  nbl::FrameHeader h;
  const uint8_t* data = nullptr;
  while (src->Next(&h, &data) == 1) {
    nbl::ByteView f(data, h.caplen);
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

int main(int argc, char** argv) {
  std::string out = ".", ini, sessions, serverText, pcap;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "nimbrel-replay: %s needs a value\n%s", a.c_str(), kUsage);
        std::exit(2);
      }
      *v = argv[++i];
    };
    if (a == "--out") value(&out);
    else if (a == "--ini") value(&ini);
    else if (a == "--sessions") value(&sessions);
    else if (a == "--server") value(&serverText);
    else if (a == "--samba") sessions.clear();
    else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!a.empty() && a[0] != '-' && pcap.empty()) pcap = a;
    else {
      std::fprintf(stderr, "nimbrel-replay: unknown argument %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (pcap.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(out, ec);
  if (ec || !std::filesystem::is_directory(dir)) {
    std::fprintf(stderr, "nimbrel-replay: %s is not a folder\n", out.c_str());
    return 2;
  }
  if (!ini.empty() &&
      !std::filesystem::equivalent(ini, dir / "Nimbrel.ini", ec) &&
      !std::filesystem::copy_file(ini, dir / "Nimbrel.ini",
                                  std::filesystem::copy_options::overwrite_existing, ec)) {
    std::fprintf(stderr, "nimbrel-replay: cannot copy %s: %s\n", ini.c_str(), ec.message().c_str());
    return 2;
  }

  uint8_t server[4];
  if (!serverText.empty()) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(serverText.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
      std::fprintf(stderr, "nimbrel-replay: --server wants an IPv4 address, not %s\n",
                   serverText.c_str());
      return 2;
    }
    server[0] = static_cast<uint8_t>(a);
    server[1] = static_cast<uint8_t>(b);
    server[2] = static_cast<uint8_t>(c);
    server[3] = static_cast<uint8_t>(d);
  } else if (!InferServer(pcap.c_str(), server)) {
    std::fprintf(stderr, "nimbrel-replay: no frame of %s uses TCP port 445; give --server\n",
                 pcap.c_str());
    return 2;
  }

  auto app = std::make_unique<nbl::Nimbrel>();
  std::string exe = (dir / "Nimbrel").string();
  app->exePath = [exe](char* buf, size_t cap) {
    if (exe.size() + 1 > cap) return false;
    std::memcpy(buf, exe.c_str(), exe.size() + 1);
    return true;
  };
  if (!sessions.empty()) {
    auto recorded = std::make_unique<RecordedServer>();
    std::string why;
    if (!LoadSessions(sessions, recorded.get(), &why)) {
      std::fprintf(stderr, "nimbrel-replay: %s\n", why.c_str());
      return 2;
    }
    app->server = std::move(recorded);
  }
  app->console.in = nullptr;
  if (auto code = nbl::StartUp(*app)) return *code;
  char err[nbl::kCaptureErrCap] = {0};
  std::unique_ptr<nbl::FrameSource> source = nbl::OpenCaptureFile(pcap.c_str(), err);
  if (!source) {
    std::fprintf(stderr, "nimbrel-replay: %s\n", err);
    return 2;
  }
  std::memcpy(app->serverAddress, server, 4);
  app->serverAddressSet = true;
  std::printf("server %d.%d.%d.%d\n", server[0], server[1], server[2], server[3]);
  return nbl::StartCapture(*app, *source);
}
