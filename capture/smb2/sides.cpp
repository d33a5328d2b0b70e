#include "capture/smb2/sides.h"

#include <string>

#include "capture/frame/loop.h"
#include "capture/frame/nimbrel.h"

namespace nbl {

void ResponseSide(Nimbrel& app, const Smb2Message& msg) {
  Diag& diag = app.diag;
  FrameValues& fv = app.frame;
  FormTimeText(fv);
  uint16_t command = msg.Command();
  if (diag.PrtOn(5)) {
    std::string time8 = WideToSystem(U16View(fv.timeText, kTimeTextCap));
    diag.Con8("TIME  : %s,%.6d\n", time8, fv.usec);
    diag.Con8("LEN   : %d\n", fv.wireLen);
    diag.Con8(">> SMB2_HEADER_RESPONSE\n");
    diag.Con8("SMB2 CMD:0x%02X\n", command);
  }
  if (diag.DbgOn(5)) {
    diag.ToDbg(u"TIME  : %s,%.6d\n", fv.timeText, fv.usec);
    diag.ToDbg(u"LEN   : %d\n", fv.wireLen);
    diag.ToDbg(u">> SMB2_HEADER_RESPONSE\n");
    diag.ToDbg(u"SMB2 CMD : 0x%02X\n", command);
  }
  if (const char16_t* name = Smb2CommandName(command)) {
    diag.Prt(5, u"SMB CMD:%s\n\n", name);
    diag.Dbg(5, u"SMB CMD:%s\n", name);
  }
}

void RequestHead(Nimbrel& /*app*/, const Smb2Message& /*msg*/) {}

}  // namespace nbl
