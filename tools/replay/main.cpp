// nimbrel-replay: runs the capture program's whole pipeline over a capture
// file (for example one taken with tcpdump on a file server), writing the same
// access log, error log and debug log that Nimbrel writes.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/replay/replay.h"

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

int Fail(const std::string& why) {
  std::fprintf(stderr, "nimbrel-replay: %s\n", why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  nbl::ReplayOptions o;
  std::string out = ".", ini, serverText;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= argc) std::exit(Fail(a + " needs a value\n" + kUsage));
      *v = argv[++i];
    };
    if (a == "--out") {
      value(&out);
    } else if (a == "--ini") {
      value(&ini);
    } else if (a == "--sessions") {
      value(&o.sessions);
    } else if (a == "--server") {
      value(&serverText);
    } else if (a == "--samba") {
      o.sessions.clear();
    } else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!a.empty() && a[0] != '-' && o.capture.empty()) {
      o.capture = a;
    } else {
      return Fail("unknown argument " + a + "\n" + kUsage);
    }
  }
  if (o.capture.empty()) return Fail(std::string("no capture file given\n") + kUsage);
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(out, ec);
  if (ec || !std::filesystem::is_directory(dir)) return Fail(out + " is not a folder");
  o.folder = dir.string();
  if (!ini.empty() && !std::filesystem::equivalent(ini, dir / "Nimbrel.ini", ec) &&
      !std::filesystem::copy_file(ini, dir / "Nimbrel.ini",
                                  std::filesystem::copy_options::overwrite_existing, ec))
    return Fail("cannot copy " + ini + ": " + ec.message());
  if (!serverText.empty()) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(serverText.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255)
      return Fail("--server wants an IPv4 address, not " + serverText);
    o.haveServer = true;
    o.server[0] = static_cast<uint8_t>(a);
    o.server[1] = static_cast<uint8_t>(b);
    o.server[2] = static_cast<uint8_t>(c);
    o.server[3] = static_cast<uint8_t>(d);
  }
  auto app = std::make_unique<nbl::Nimbrel>();
  app->console.in = nullptr;
  std::string why;
  int code = nbl::Replay(o, *app, &why);
  if (!why.empty()) return Fail(why);
  return code;
}
