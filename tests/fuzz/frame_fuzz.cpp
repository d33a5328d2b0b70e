// Feeds arbitrary frame sequences through the loop head, the SMB2 views, the
// tree and file handlers and the row writer, with every trace level on and a
// fake OS layer (a known client session, files that exist or not, no name
// service); no file or network is touched.
//
// An input is a sequence of frames, each: two bytes of length (big-endian),
// two bytes by which the wire length exceeds the captured bytes, then the
// captured bytes. A last, shorter piece is one frame of what remains.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"
#include "tests/support/fake_server.h"

namespace {

nbl::Nimbrel& App() {
  static std::unique_ptr<nbl::Nimbrel> app = [] {
    auto a = std::make_unique<nbl::Nimbrel>();
    a->exePath = [](char*, size_t) { return false; };
    a->now = [] { return int64_t{1796981405}; };
    a->console.out = std::fopen("/dev/null", "w");
    a->console.in = nullptr;
    nbl::SetOptionDefaults(&a->options);
    a->options.DBGmode = 5;
    a->options.DBGmodePrt = 5;
    a->options.AccessDataCnt = 8;
    a->options.SessionSetupCnt = 4;
    a->options.SmbOpenFileCnt = 4;
    if (nbl::AllocateTables(*a)) std::abort();
    auto server = std::make_unique<nbl::test::FakeFileServer>();
    nbl::ServerOpenFile open;
    open.path = u"/srv/data/dir/held.txt";
    open.shareRelativePath = u"dir/held.txt";
    open.clientAddress = u"10.99.0.2";
    server->openFiles.items = {open};
    a->server = std::move(server);
    auto files = std::make_unique<nbl::test::FakeFileSystem>();
    files->Add(u"/srv/data/a.txt", 0x20, 1796981400, 1796981404, 1796981400);
    files->Add(u"\\\\10.99.0.1\\data\\a.txt", 0x21, 1796981400, 1796981400, 1796981400);
    a->files = std::move(files);
    a->resolveName = [](const char*, char* host, size_t cap) {
      std::memset(host, 0, cap);
      std::snprintf(host, cap, "client-host-name-longer-than-thirty-one");
      return 0;
    };
    const uint8_t server4[4] = {10, 99, 0, 1};
    std::memcpy(a->serverAddress, server4, 4);
    return a;
  }();
  return *app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nbl::Nimbrel& app = App();
  size_t at = 0;
  int32_t usec = 0;
  while (at + 4 <= size) {
    size_t len = static_cast<size_t>(data[at]) << 8 | data[at + 1];
    uint32_t extra = static_cast<uint32_t>(data[at + 2]) << 8 | data[at + 3];
    at += 4;
    if (len > size - at) len = size - at;
    // A private copy of exactly the captured bytes, so that any read beyond
    // them is caught.
    std::vector<uint8_t> frame(data + at, data + at + len);
    at += len;
    nbl::FrameHeader h;
    h.sec = 1796981405;
    h.usec = usec += 1000;
    h.caplen = static_cast<uint32_t>(len);
    h.len = h.caplen + extra;
    nbl::HandleFrame(app, h, frame.data());
  }
  app.rows.Flush(app);
  return 0;
}
