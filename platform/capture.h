// Packet capture: the adapter list, a live adapter and a capture file, through
// the packet-capture library (libpcap on POSIX; wpcap.dll, loaded at run time,
// on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nbl {

inline constexpr size_t kCaptureErrCap = 256;  // error text buffer of the library
inline constexpr int kLinkEthernet = 1;        // DLT_EN10MB
inline constexpr int kFamilyInet = 2;          // AF_INET as the adapter list reports it

struct CaptureAddress {
  int family = 0;  // kFamilyInet for IPv4; the bytes below are valid only then
  uint8_t addr[4] = {0, 0, 0, 0};
  bool hasNetmask = false;
  uint8_t netmask[4] = {0, 0, 0, 0};
};

struct CaptureDevice {
  std::string name;
  bool hasDescription = false;
  std::string description;
  std::vector<CaptureAddress> addresses;
};

// One frame as the library hands it over; data stays valid until the next call.
struct FrameHeader {
  int64_t sec = 0;
  int32_t usec = 0;
  uint32_t caplen = 0;  // bytes captured, the only bytes that may be read
  uint32_t len = 0;     // length on the wire
};

// Where frames come from: a live adapter or a capture file.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // 1: a frame; 0: read time-out, no frame; -1: error; -2: end of the capture.
  virtual int Next(FrameHeader* header, const uint8_t** data) = 0;
  virtual std::string Error() = 0;
  virtual int Datalink() = 0;
  // Compiles and sets a filter: 0 done, -1 the filter does not compile, -2 it cannot be set.
  virtual int SetFilter(const char* filter, uint32_t netmask) = 0;
  // Frames the library dropped for lack of room (live adapters); -1 when unknown.
  virtual long long Dropped() { return -1; }
  // A live adapter keeps the program alive for a moment at the end of the capture.
  virtual bool IsLive() const = 0;
};

// The packet-capture library as the program sees it; tests give their own.
class CaptureSystem {
 public:
  virtual ~CaptureSystem() = default;
  // pcap_findalldevs: false with the library's text in err (kCaptureErrCap bytes).
  virtual bool ListDevices(std::vector<CaptureDevice>* out, char* err) = 0;
  // pcap_open_live; nullptr with the text in err.
  virtual std::unique_ptr<FrameSource> OpenLive(const char* name, int snaplen, int promisc,
                                                int timeoutMs, char* err) = 0;
};

// The real library.
CaptureSystem& SystemCapture();
// A capture file (pcap_open_offline); nullptr with the text in err.
std::unique_ptr<FrameSource> OpenCaptureFile(const char* path, char* err);

}  // namespace nbl
