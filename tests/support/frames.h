// Crafted Ethernet/IPv4/TCP/SMB2 frames for table-driven tests, and capture
// sources and files made of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture.h"

namespace nbl::test {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kServer[4] = {10, 99, 0, 1};
inline constexpr uint8_t kClient[4] = {10, 99, 0, 2};

struct FrameSpec {
  uint8_t src[4] = {10, 99, 0, 2};
  uint8_t dst[4] = {10, 99, 0, 1};
  uint16_t srcPort = 49152;
  uint16_t dstPort = 445;
  size_t ipOptions = 0;   // bytes of IPv4 options (multiple of 4)
  size_t tcpOptions = 0;  // bytes of TCP options (multiple of 4)
  uint8_t protocolId[4] = {0xFE, 'S', 'M', 'B'};
  uint16_t command = 0;
  uint32_t status = 0;
  uint32_t processId = 0xFEFF;
  uint32_t treeId = 0;
  uint64_t sessionId = 0;
  Bytes body;
  bool smbHeader = true;  // false: the TCP payload is just `body`

  FrameSpec& Response() {
    std::swap(src, dst);
    std::swap(srcPort, dstPort);
    return *this;
  }
};

Bytes BuildFrame(const FrameSpec& frame);

// Bodies of the commands that are tracked.
Bytes TreeConnectRequestBody(const std::u16string& path,
                             std::optional<uint16_t> pathLength = std::nullopt);
Bytes TreeConnectResponseBody();  // 16 bytes
Bytes CreateRequestBody(const std::u16string& name,
                        std::optional<uint16_t> nameLength = std::nullopt);
Bytes CreateResponseBody();  // 88 bytes
Bytes SetInfoRenameBody(const std::u16string& name, uint8_t fileInfoClass = 10,
                        std::optional<uint32_t> fileNameLength = std::nullopt);

struct TimedFrame {
  int64_t sec = 1796981405;
  int32_t usec = 0;
  Bytes data;
  std::optional<uint32_t> wireLen;  // when the wire length differs from the bytes
};

// Replays frames, then reports the end (-2) or an error (-1).
class FakeSource : public FrameSource {
 public:
  explicit FakeSource(std::vector<TimedFrame> frames, int endCode = -2, bool live = false)
      : frames_(std::move(frames)), endCode_(endCode), live_(live) {}
  int Next(FrameHeader* header, const uint8_t** data) override;
  std::string Error() override { return "fake read error"; }
  int Datalink() override { return datalink; }
  int SetFilter(const char* filter, uint32_t netmask) override {
    lastFilter = filter;
    lastNetmask = netmask;
    return filterResult;
  }
  bool IsLive() const override { return live_; }

  int datalink = kLinkEthernet;
  int filterResult = 0;
  std::string lastFilter;
  uint32_t lastNetmask = 0;
  int timeouts = 0;  // read time-outs (0) to report before the first frame

 private:
  std::vector<TimedFrame> frames_;
  size_t next_ = 0;
  int endCode_;
  bool live_;
};

// An adapter list and the frames the opened adapter delivers.
class FakeCapture : public CaptureSystem {
 public:
  FakeCapture();
  bool ListDevices(std::vector<CaptureDevice>* out, char* err) override;
  std::unique_ptr<FrameSource> OpenLive(const char* name, int snaplen, int promisc, int timeoutMs,
                                        char* err) override;

  std::vector<CaptureDevice> devices;
  bool listFails = false;
  bool openFails = false;
  std::vector<TimedFrame> frames;
  int endCode = -2;
  int datalink = kLinkEthernet;
  int filterResult = 0;
  std::string openedName;
  FakeSource* opened = nullptr;
};

// Writes frames to a capture file with the real library.
void WritePcap(const std::string& path, const std::vector<TimedFrame>& frames);

}  // namespace nbl::test
