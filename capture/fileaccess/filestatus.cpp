#include "capture/fileaccess/filestatus.h"

#include <ctime>

#include "capture/frame/nimbrel.h"

namespace nbl {
namespace {

constexpr const char16_t* kStatusWords[] = {u"NotFind", u"Write", u"View",  u"New",
                                            u"Delete",  u"Open",  u"Rename"};

struct AttributeCode {
  uint32_t mask;
  const char16_t* code;
};

// In this order; the order of the rows, not of the bits, orders the codes.
constexpr AttributeCode kAttributeCodes[] = {
    {0x0, u"Non"},   {0x20, u"A"},   {0x800, u"C"},      {0x40, u"Res1"},  {0x10, u"D"},
    {0x4000, u"E"},  {0x2, u"H"},    {0x8000, u"V"},     {0x80, u"N"},     {0x2000, u"I"},
    {0x20000, u"X"}, {0x1000, u"O"}, {0x1, u"R"},        {0x400, u"L"},    {0x200, u"P"},
    {0x4, u"S"},     {0x100, u"T"},  {0x10000, u"Res2"}, {0x80000, u"PI"}, {0x100000, u"UPI"},
};

// The calendar fields of a time, as the conversion trace shows them.
void TraceFields(Diag& diag, int64_t t) {
  std::tm tm{};
  LocalTime(t, &tm);
  diag.ToDbg(u" %d %d %d %d %d %d\n", tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min,
             tm.tm_sec);
}

}  // namespace

const char16_t* StatusWord(int32_t status) {
  return status >= 0 && status < 7 ? kStatusWords[status] : kStatusWords[0];
}

FileNotifyResult FileNotifyInfo(Nimbrel& app, std::u16string_view fullPath, int64_t in_time) {
  Diag& diag = app.diag;
  FileNotifyResult r;
  FileAttributeData d;
  bool ok = app.Files().GetAttributes(fullPath, &d);
  if (diag.DbgOn(4)) {
    diag.ToDbg(u"----------------------------\n");
    diag.ToDbg(u"FileNotifyInfo START\n");
    diag.ToDbg(u"GetFileAttributesEx Bool_Ret=%d\n", ok ? 1 : 0);
  }
  if (!ok) {
    diag.Dbg(4, u"----------------------------\n");
    r.status = kStatusDelete;
    return r;
  }
  r.attributes = d.attributes;
  const int64_t ZLocaTimeLW = d.lastWrite;
  const int64_t ZLocaTimeCR = d.creation;
  const int64_t ZLocaTimeAC = d.lastAccess;
  if (diag.DbgOn(4)) {
    diag.ToDbg(u"FileFile update time\n");
    TraceFields(diag, ZLocaTimeLW);
    diag.ToDbg(u"File make time\n");
    TraceFields(diag, ZLocaTimeCR);
    std::tm now{};
    char text[32] = {0};
    if (LocalTime(in_time, &now)) std::strftime(text, sizeof text, "[%Y/%m/%d %H:%M:%S]", &now);
    diag.ToDbg(u"現時刻\n");
    diag.ToDbg(u"%hs\n", text);
    diag.ToDbg(u"FileNotifyInfo                                 in_time=%ld\n", in_time);
    diag.ToDbg(u"FileNotifyInfo FILE_ADD(ftLastWriteTime)   ZLocaTimeLW=%ld\n", ZLocaTimeLW);
    diag.ToDbg(u"FileNotifyInfo FILE_NEW(ftCreationTime)    ZLocaTimeCR=%ld\n", ZLocaTimeCR);
    diag.ToDbg(u"FileNotifyInfo FILE_VIEW(ftLastAccessTime) ZLocaTimeAC=%ld\n", ZLocaTimeAC);
  }
  if (d.attributes & kAttrDirectory) {
    diag.PrtDbg(4, u"File view time FILE_ATTRIBUTE_DIRECTORY\n");
    r.status = kStatusView;
    return r;
  }
  // All three rules are tried in this order; a later one that holds wins.
  r.status = kStatusNotFind;
  if (ZLocaTimeLW <= in_time) {
    r.status = kStatusView;
    diag.PrtDbg(4, u"File view time ZLocaTimeLW <= in_time\n");
  }
  const int32_t width = app.options.WriteTimeWidth;
  if (ZLocaTimeAC > in_time - width) {
    r.status = kStatusWrite;
    diag.PrtDbg(4, u"File update time (ZLocaTimeAC > (in_time - %d)\n", width);
  }
  if (ZLocaTimeCR == ZLocaTimeAC && ZLocaTimeLW == ZLocaTimeAC && ZLocaTimeCR == ZLocaTimeLW) {
    r.status = kStatusNew;
    diag.PrtDbg(4,
                u"File add time (ZLocaTimeCR == ZLocaTimeAC) && (ZLocaTimeLW == ZLocaTimeAC) && "
                u"(ZLocaTimeCR == ZLocaTimeLW)\n");
  }
  diag.Dbg(4, u"----------------------------\n");
  return r;
}

void FileAttributesStatusDataSum(uint32_t attributes, U16 out[kAttrTextCap]) {
  out[0] = 0;
  for (const AttributeCode& row : kAttributeCodes) {
    if ((attributes & row.mask) == 0) continue;
    U16Append(out, kAttrTextCap, row.code);
    U16Append(out, kAttrTextCap, u"|");
  }
  size_t n = U16Len(out, kAttrTextCap);
  if (n > 0) out[n - 1] = 0;
}

}  // namespace nbl
