#include "tests/support/frames.h"

#include <pcap/pcap.h>

#include <cstring>
#include <stdexcept>

namespace nbl::test {
namespace {

void Put16LE(Bytes& b, size_t off, uint16_t v) {
  b[off] = static_cast<uint8_t>(v);
  b[off + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32LE(Bytes& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64LE(Bytes& b, size_t off, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[off + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
void AppendUtf16(Bytes& b, const std::u16string& s) {
  for (char16_t c : s) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
}

}  // namespace

Bytes BuildFrame(const FrameSpec& s) {
  size_t ihl = 20 + s.ipOptions;
  size_t tcpLen = 20 + s.tcpOptions;
  Bytes payload;
  if (s.smbHeader) {
    Bytes smb(64, 0);
    std::memcpy(smb.data(), s.protocolId, 4);
    Put16LE(smb, 4, 64);
    Put32LE(smb, 8, s.status);
    Put16LE(smb, 12, s.command);
    Put32LE(smb, 32, s.processId);
    Put32LE(smb, 36, s.treeId);
    Put64LE(smb, 40, s.sessionId);
    smb.insert(smb.end(), s.body.begin(), s.body.end());
    payload.push_back(0);  // NetBIOS session message, 24-bit length
    payload.push_back(static_cast<uint8_t>(smb.size() >> 16));
    payload.push_back(static_cast<uint8_t>(smb.size() >> 8));
    payload.push_back(static_cast<uint8_t>(smb.size()));
    payload.insert(payload.end(), smb.begin(), smb.end());
  } else {
    payload = s.body;
  }
  Bytes f(14 + ihl + tcpLen, 0);
  f[12] = 0x08;  // IPv4
  f[14] = static_cast<uint8_t>(0x40 | (ihl / 4));
  size_t total = ihl + tcpLen + payload.size();
  f[16] = static_cast<uint8_t>(total >> 8);
  f[17] = static_cast<uint8_t>(total);
  f[22] = 64;
  f[23] = 6;  // TCP
  std::memcpy(&f[26], s.src, 4);
  std::memcpy(&f[30], s.dst, 4);
  size_t t = 14 + ihl;
  f[t] = static_cast<uint8_t>(s.srcPort >> 8);
  f[t + 1] = static_cast<uint8_t>(s.srcPort);
  f[t + 2] = static_cast<uint8_t>(s.dstPort >> 8);
  f[t + 3] = static_cast<uint8_t>(s.dstPort);
  f[t + 12] = static_cast<uint8_t>((tcpLen / 4) << 4);
  f[t + 13] = 0x18;                                             // PSH ACK
  for (size_t i = 0; i < s.tcpOptions; ++i) f[t + 20 + i] = 1;  // NOPs
  f.insert(f.end(), payload.begin(), payload.end());
  return f;
}

Bytes TreeConnectRequestBody(const std::u16string& path, std::optional<uint16_t> pathLength) {
  Bytes b(8, 0);
  Put16LE(b, 0, 9);
  Put16LE(b, 4, 64 + 8);
  Put16LE(b, 6, pathLength.value_or(static_cast<uint16_t>(path.size() * 2)));
  AppendUtf16(b, path);
  return b;
}

Bytes TreeConnectResponseBody() {
  Bytes b(16, 0);
  Put16LE(b, 0, 16);
  b[2] = 1;  // disk share
  return b;
}

Bytes CreateRequestBody(const std::u16string& name, std::optional<uint16_t> nameLength) {
  Bytes b(56, 0);
  Put16LE(b, 0, 57);
  Put16LE(b, 44, 64 + 56);
  Put16LE(b, 46, nameLength.value_or(static_cast<uint16_t>(name.size() * 2)));
  AppendUtf16(b, name);
  return b;
}

Bytes CreateResponseBody() {
  Bytes b(88, 0);
  Put16LE(b, 0, 89);
  return b;
}

Bytes SetInfoRenameBody(const std::u16string& name, uint8_t fileInfoClass,
                        std::optional<uint32_t> fileNameLength) {
  Bytes b(52, 0);
  Put16LE(b, 0, 33);
  b[2] = 1;  // file information
  b[3] = fileInfoClass;
  Put32LE(b, 4, static_cast<uint32_t>(20 + name.size() * 2));
  Put16LE(b, 8, 64 + 32);
  Put32LE(b, 48, fileNameLength.value_or(static_cast<uint32_t>(name.size() * 2)));
  AppendUtf16(b, name);
  return b;
}

int FakeSource::Next(FrameHeader* header, const uint8_t** data) {
  if (timeouts > 0) {
    --timeouts;
    return 0;
  }
  if (next_ >= frames_.size()) return endCode_;
  const TimedFrame& f = frames_[next_++];
  header->sec = f.sec;
  header->usec = f.usec;
  header->caplen = static_cast<uint32_t>(f.data.size());
  header->len = f.wireLen.value_or(static_cast<uint32_t>(f.data.size()));
  *data = f.data.data();
  return 1;
}

FakeCapture::FakeCapture() {
  CaptureDevice eth;
  eth.name = "veth-test";
  eth.hasDescription = true;
  eth.description = "test adapter";
  CaptureAddress a;
  a.family = kFamilyInet;
  std::memcpy(a.addr, kServer, 4);
  a.hasNetmask = true;
  uint8_t mask[4] = {255, 255, 255, 0};
  std::memcpy(a.netmask, mask, 4);
  eth.addresses.push_back(a);
  CaptureDevice bare;
  bare.name = "bare";
  devices = {eth, bare};
}

bool FakeCapture::ListDevices(std::vector<CaptureDevice>* out, char* err) {
  if (listFails) {
    std::strcpy(err, "no permission");
    return false;
  }
  *out = devices;
  return true;
}

std::unique_ptr<FrameSource> FakeCapture::OpenLive(const char* name, int, int, int, char* err) {
  if (openFails) {
    std::strcpy(err, "cannot open");
    return nullptr;
  }
  openedName = name;
  auto src = std::make_unique<FakeSource>(frames, endCode, false);
  src->datalink = datalink;
  src->filterResult = filterResult;
  opened = src.get();
  return src;
}

void WritePcap(const std::string& path, const std::vector<TimedFrame>& frames) {
  pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65536);
  pcap_dumper_t* d = pcap_dump_open(dead, path.c_str());
  if (d == nullptr) throw std::runtime_error(pcap_geterr(dead));
  for (const TimedFrame& f : frames) {
    struct pcap_pkthdr h {};
    h.ts.tv_sec = static_cast<time_t>(f.sec);
    h.ts.tv_usec = f.usec;
    h.caplen = static_cast<uint32_t>(f.data.size());
    h.len = f.wireLen.value_or(h.caplen);
    pcap_dump(reinterpret_cast<u_char*>(d), &h, f.data.data());
  }
  pcap_dump_close(d);
  pcap_close(dead);
}

}  // namespace nbl::test
