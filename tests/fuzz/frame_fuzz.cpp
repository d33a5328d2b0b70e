// Feeds arbitrary frames through the loop head and on into the sides, with
// every trace level on and no file or network touched. The first two bytes of
// an input say how much longer than the captured bytes the frame was on the
// wire, so that wire lengths larger than the capture are explored too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"

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
    a->options.SessionSetupCnt = 8;
    a->options.SmbOpenFileCnt = 8;
    if (nbl::AllocateTables(*a)) std::abort();
    const uint8_t server[4] = {10, 99, 0, 1};
    std::memcpy(a->serverAddress, server, 4);
    return a;
  }();
  return *app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  nbl::FrameHeader h;
  h.sec = 1796981405;
  h.usec = 1;
  h.caplen = static_cast<uint32_t>(size - 2);
  h.len = h.caplen + (static_cast<uint32_t>(data[0]) << 8 | data[1]);
  // A private copy of exactly the captured bytes, so that any read beyond
  // them is caught.
  std::unique_ptr<uint8_t[]> frame(new uint8_t[h.caplen ? h.caplen : 1]);
  std::memcpy(frame.get(), data + 2, h.caplen);
  nbl::HandleFrame(App(), h, frame.get());
  return 0;
}
