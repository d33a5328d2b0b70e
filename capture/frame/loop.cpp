#include "capture/frame/loop.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "capture/frame/nimbrel.h"
#include "capture/smb2/sides.h"
#include "platform/clock.h"

namespace nbl {
namespace {

constexpr size_t kEthernetLen = 14;
constexpr size_t kNetbiosLen = 4;
constexpr uint8_t kSmb2Id[4] = {0xFE, 'S', 'M', 'B'};
constexpr uint8_t kSmb1Id[4] = {0xFF, 'S', 'M', 'B'};

void FormAddress(U16* out, const uint8_t* a) {
  FormatWide(out, kAddrTextCap, u"%d.%d.%d.%d", {a[0], a[1], a[2], a[3]});
}
void FormPort(U16* out, uint16_t port) {
  FormatWide(out, kAddrTextCap, u"%d", {port});
}

}  // namespace

void FormTimeText(FrameValues& fv) {
  std::tm local{};
  char text[kTimeTextCap] = {0};
  if (LocalTime(fv.sec, &local)) std::strftime(text, sizeof text, "%Y%m%d %H:%M:%S", &local);
  for (size_t i = 0; i < kTimeTextCap; ++i) fv.timeText[i] = static_cast<unsigned char>(text[i]);
}

void HandleFrame(Nimbrel& app, const FrameHeader& header, const uint8_t* data) {
  Diag& diag = app.diag;
  FrameValues& fv = app.frame;
  fv = FrameValues{};
  fv.frame = ByteView(data, header.caplen);
  fv.sec = header.sec;
  fv.usec = header.usec;
  fv.wireLen = header.len;
  ++app.framesSeen;
  const ByteView& f = fv.frame;
  app.rows.Release(app, fv.sec * 1000 + fv.usec / 1000);

  if (diag.PrtOn(5)) {
    std::tm local{};
    char hms[16] = {0};
    if (LocalTime(fv.sec, &local)) std::strftime(hms, sizeof hms, "%H:%M:%S", &local);
    diag.Con8("TIME  : %s,%.6d\n", hms, fv.usec);
    diag.Con8("LEN   : %d\n", fv.wireLen);
  }

  // Addresses and ports: a frame too short to hold them is dropped here,
  // before anything reads beyond the captured bytes.
  auto ver = f.U8(kEthernetLen);
  if (!ver) return;
  fv.ihl = (*ver & 0x0Fu) * 4u;
  size_t tcp = kEthernetLen + fv.ihl;
  auto srcPort = f.BE16(tcp);
  auto dstPort = f.BE16(tcp + 2);
  if (!f.Has(26, 8) || !srcPort || !dstPort) return;
  uint8_t src[4], dst[4];
  for (size_t i = 0; i < 4; ++i) {
    src[i] = *f.U8(26 + i);
    dst[i] = *f.U8(30 + i);
  }
  if (diag.PrtOn(5))
    diag.Con(u"<<<< IPADDR: %d.%d.%d.%d.%d -> %d.%d.%d.%d.%d >>>>\n", src[0], src[1], src[2],
             src[3], *srcPort, dst[0], dst[1], dst[2], dst[3], *dstPort);

  // The TCP header is as long as its data offset says (32 bytes with the
  // timestamps Linux and macOS clients send); SMB2 starts after it.
  auto dataOffset = f.U8(tcp + 12);
  if (!dataOffset) return;
  fv.tcpLen = (*dataOffset >> 4) * 4u;
  if (fv.tcpLen < 20) return;
  size_t minimum = kEthernetLen + fv.ihl + fv.tcpLen + kNetbiosLen + 64;
  if (fv.wireLen < minimum) return;
  fv.smb2Offset = kEthernetLen + fv.ihl + fv.tcpLen + kNetbiosLen;
  fv.bodyLength = fv.wireLen - static_cast<uint32_t>(minimum);

  fv.response = src[0] == app.serverAddress[0] && src[1] == app.serverAddress[1] &&
                src[2] == app.serverAddress[2] && src[3] == app.serverAddress[3];
  if (fv.response) {
    FormAddress(fv.SV_IP, src);
    FormPort(fv.SV_Port, *srcPort);
    FormAddress(fv.CL_IP, dst);
    FormPort(fv.CL_Port, *dstPort);
    diag.Prt(5, u">> CL_IP_Port:%s.%s  SV_IP_Port:%s.%s\n", fv.CL_IP, fv.CL_Port, fv.SV_IP,
             fv.SV_Port);
  } else {
    FormAddress(fv.CL_IP, src);
    FormPort(fv.CL_Port, *srcPort);
    FormAddress(fv.SV_IP, dst);
    FormPort(fv.SV_Port, *dstPort);
    diag.Prt(5, u"<< CL_IP_Port:%s.%s  SV_IP_Port:%s.%s\n", fv.CL_IP, fv.CL_Port, fv.SV_IP,
             fv.SV_Port);
  }

  if (!f.Equals(fv.smb2Offset, kSmb2Id, 4)) {
    if (f.Equals(fv.smb2Offset, kSmb1Id, 4)) diag.Dbg(5, fv.response ? u">> SMB1\n" : u"<< SMB1\n");
    return;
  }
  ++app.smb2Frames;
  Smb2Message msg(f, fv.smb2Offset, fv.bodyLength);
  if (fv.response) {
    if (diag.DbgOn(5)) diag.DBG_LOG_PRINT(u"==== SMB Packet Send ====\n", 1);
    ResponseSide(app, msg);
    return;
  }
  if (diag.DbgOn(5)) diag.DBG_LOG_PRINT(u"==== SMB Packet Recv ====\n", 1);
  FormTimeText(fv);
  if (diag.PrtOn(5)) {
    std::string time8 = WideToSystem(U16View(fv.timeText, kTimeTextCap));
    diag.Con8("TIME  : %s,%.6d\n", time8, fv.usec);
    diag.Con8("LEN   : %d\n", fv.wireLen);
    diag.Con8("<< SMB2_HEADER_REQUEST\n");
    diag.Con8("SMB2 CMD:0x%02X\n", msg.Command());
  }
  if (diag.DbgOn(5)) {
    diag.ToDbg(u"TIME  : %s,%.6d\n", fv.timeText, fv.usec);
    diag.ToDbg(u"LEN   : %d\n", fv.wireLen);
    diag.ToDbg(u"<< SMB2_HEADER_REQUEST\n");
    diag.ToDbg(u"SMB2 CMD:0x%02X\n", msg.Command());
  }
  RequestHead(app, msg);
}

namespace {

// How much the capture saw, and whether the capture library had to drop
// frames for lack of room (a sign that the program could not keep up).
void ReportCounts(Nimbrel& app, FrameSource& source) {
  long long dropped = source.Dropped();
  app.diag.Con(u"INFO : frames %llu, SMB2 %llu, dropped by the capture library %lld\n",
               app.framesSeen, app.smb2Frames, dropped);
  app.diag.ToDbg(u"[%hs][%d][Info]: frames %llu, SMB2 %llu, dropped by the capture library %lld\n",
                 kMainFunc, __LINE__, app.framesSeen, app.smb2Frames, dropped);
}

}  // namespace

int CaptureLoop(Nimbrel& app, FrameSource& source) {
  for (;;) {
    FrameHeader header;
    const uint8_t* data = nullptr;
    int rc = source.Next(&header, &data);
    if (app.stopRequested.load()) {
      // Asked to stop: the rows still waiting are written, then the program
      // ends as at the end of a capture.
      app.diag.Con(u"INFO : Stop requested.\n");
      app.diag.ToDbg(u"[%hs][%d][Info]: Stop requested\n", kMainFunc, __LINE__);
      app.rows.Flush(app);
      ReportCounts(app, source);
      app.diag.CloseLogs();
      app.accessLog.Close();
      return 0;
    }
    if (rc == 0) {  // a quiet network: waiting rows are due by the clock
      app.rows.Release(app, SystemNowMs());
      continue;
    }
    if (rc == 1) {
      HandleFrame(app, header, data);
      continue;
    }
    app.rows.Flush(app);
    ReportCounts(app, source);
    if (rc == -1) {
      std::string text = source.Error();
      app.diag.ToBoth(u"[%hs][%d][Err]: Error reading the packets: %hs\n", kMainFunc, __LINE__,
                      text);
      app.diag.Con(u"ERROR : Error reading the packets: %hs\n", text);
      app.diag.CloseLogs();
      app.accessLog.Close();
      return -1;
    }
    app.diag.CloseLogs();
    app.accessLog.Close();
    if (source.IsLive()) SleepMilliseconds(10000);
    return 0;
  }
}

int StartCapture(Nimbrel& app, FrameSource& source) {
  DumpOptions(app.diag, app.options);
  if (auto code = app.accessLog.OpenAtCaptureStart(app.exePath, app.now())) return *code;
  app.diag.Con(u"listening on ...>\n");
  app.diag.Con(u"\n Stop [Ctrl + c]\n");
  app.diag.ToDbg(u"[%hs][%d][Info]: listening on\n", kMainFunc, __LINE__);
  app.diag.FlushConsole();  // whoever watches the console learns at once that capture runs
  std::memset(&app.lastRow, 0, sizeof app.lastRow);
  if (auto code = AllocateTables(app)) return *code;
  return CaptureLoop(app, source);
}

}  // namespace nbl
