#include "capture/frame/options.h"

#include <cstdio>
#include <cstring>

#include "capture/frame/diag.h"
#include "platform/exepath.h"
#include "platform/profile.h"

namespace nbl {
namespace {

struct TextKey {
  const char* name;
  const char* def;
};

// Text keys, in the order they are read and written.
constexpr TextKey kTextKeys[] = {
    {"AccessLogFileFullPath", kAccessLogName},
    {"ErrorLogFileFullPath", kErrorLogName},
    {"DebugLogFileFullPath", kDebugLogName},
    {"PacketFilter", "ip and tcp"},
};

char* TextField(OptionInfo* o, size_t i) {
  char* fields[] = {o->AccessLogFileFullPath, o->ErrorLogFileFullPath, o->DebugLogFileFullPath,
                    o->PacketFilter};
  return fields[i];
}
const char* TextField(const OptionInfo& o, size_t i) {
  return TextField(const_cast<OptionInfo*>(&o), i);
}

struct IntKey {
  const char* name;
  int32_t OptionInfo::*field;
  int32_t def;
  const char16_t* show;  // option list line (menu item 2)
  const char16_t* dump;  // debug-log line at capture start
};

// Numeric keys, in the order they are shown, written and dumped.
const IntKey kIntKeys[] = {
    {"AutoRun", &OptionInfo::AutoRun, 0, u"INFO :  > OptionInfo.AutoRun          = %d\n",
     u"[%hs][%d][Info]: OptionInfo.AutoRun=%d\n"},
    {"PCAP_ReadTimeout", &OptionInfo::PCAP_ReadTimeout, 1000,
     u"INFO :  > OptionInfo.PCAP_ReadTimeout = %d\n",
     u"[%hs][%d][Info]: OptionInfo.PCAP_ReadTimeout=%d\n"},
    {"AccessDataCnt", &OptionInfo::AccessDataCnt, 40960,
     u"INFO :  > OptionInfo.AccessDataCnt    = %d\n",
     u"[%hs][%d][Info]: OptionInfo.AccessDataCnt=%d\n"},
    {"SessionSetupCnt", &OptionInfo::SessionSetupCnt, 20480,
     u"INFO :  > OptionInfo.SessionSetupCnt  = %d\n",
     u"[%hs][%d][Info]: OptionInfo.SessionSetupCnt=%d\n"},
    {"SmbOpenFileCnt", &OptionInfo::SmbOpenFileCnt, 20480,
     u"INFO :  > OptionInfo.SmbOpenFileCnt   = %d\n",
     u"[%hs][%d][Info]: OptionInfo.SmbOpenFileCnt=%d\n"},
    {"WriteTimeWidth", &OptionInfo::WriteTimeWidth, 2,
     u"INFO :  > OptionInfo.WriteTimeWidth   = %d\n",
     u"[%hs][%d][Info]: OptionInfo.WriteTimeWidth=%d\n"},
    {"DeviceSetNo", &OptionInfo::DeviceSetNo, 0, u"INFO :  > OptionInfo.DeviceSetNo      = %d\n",
     u"[%hs][%d][Info]: OptionInfo.DeviceSetNo=%d\n"},
    {"PrintBaffuer", &OptionInfo::PrintBaffuer, 0, u"INFO :  > OptionInfo.PrintBaffuer     = %d\n",
     u"[%hs][%d][Info]: OptionInfo.PrintBaffuer=%d\n"},
    {"FilefflushFlg", &OptionInfo::FilefflushFlg, 1,
     u"INFO :  > OptionInfo.FilefflushFlg    = %d\n",
     u"[%hs][%d][Info]: OptionInfo.FilefflushFlg=%d\n"},
    {"printf_sflushFlg", &OptionInfo::printf_sflushFlg, 1,
     u"INFO :  > OptionInfo.printf_sflushFlg   = %d\n",
     u"[%hs][%d][Info]: OptionInfo.printf_sflushFlg=%d\n"},
    {"DBGmode", &OptionInfo::DBGmode, 4, u"INFO :  > OptionInfo.DBGmode          = %d\n",
     u"[%hs][%d][Info]: OptionInfo.DBGmode=%d\n"},
    {"DBGmodePrt", &OptionInfo::DBGmodePrt, 0, u"INFO :  > OptionInfo.DBGmodePrt       = %d\n",
     u"[%hs][%d][Info]: OptionInfo.DBGmodePrt=%d\n"},
    {"PrintMode", &OptionInfo::PrintMode, 1, u"INFO :  > OptionInfo.PrintMode        = %d\n",
     u"[%hs][%d][Info]: OptionInfo.PrintMode=%d\n"},
    {"Logrotate_Date", &OptionInfo::Logrotate_Date, 0,
     u"INFO :  > OptionInfo.Logrotate_Date   = %d\n",
     u"[%hs][%d][Info]: OptionInfo.Logrotate_Date=%d\n"},
    {"Logrotate_DayOfWeek", &OptionInfo::Logrotate_DayOfWeek, 0,
     u"INFO :  > OptionInfo.Logrotate_DayOfWeek = %d\n",
     u"[%hs][%d][Info]: OptionInfo.Logrotate_DayOfWeek=%d\n"},
    {"Logrotate_Time_Hour", &OptionInfo::Logrotate_Time_Hour, 0,
     u"INFO :  > OptionInfo.Logrotate_Time_Hour = %d\n",
     u"[%hs][%d][Info]: OptionInfo.Logrotate_Time_Hour=%d\n"},
    {"Logrotate_Time_Min", &OptionInfo::Logrotate_Time_Min, 0,
     u"INFO :  > OptionInfo.Logrotate_Time_Min  = %d\n",
     u"[%hs][%d][Info]: OptionInfo.Logrotate_Time_Min=%d\n"},
    {"AplStartLogRotation", &OptionInfo::AplStartLogRotation, 1,
     u"INFO :  > OptionInfo.AplStartLogRotation = %d\n",
     u"[%hs][%d][Info]: OptionInfo.AplStartLogRotation=%d\n"},
};

void CopyText(char* dst, const char* src) {
  std::snprintf(dst, kPathCap, "%s", src);
}

}  // namespace

void SetOptionDefaults(OptionInfo* o) {
  std::memset(o, 0, sizeof *o);
  for (size_t i = 0; i < std::size(kTextKeys); ++i) CopyText(TextField(o, i), kTextKeys[i].def);
  for (const IntKey& k : kIntKeys) o->*k.field = k.def;
}

bool MakeIniFileName(const ExePathFn& exePath, const char* name, char* out) {
  char module[kPathCap];
  if (!exePath || !exePath(module, sizeof module)) return false;
  char drive[3];
  char dir[256];
  if (!SplitDriveDir(module, drive, sizeof drive, dir, sizeof dir)) return false;
  char tmp[kPathCap];
  int n = std::snprintf(tmp, sizeof tmp, "%s%s%s", drive, dir, name);
  if (n < 0 || static_cast<size_t>(n) >= sizeof tmp) return false;  // never a cut path
  std::memcpy(out, tmp, static_cast<size_t>(n) + 1);
  return true;
}

void LoadOptions(const ExePathFn& exePath, OptionInfo* o, char* iniPath) {
  SetOptionDefaults(o);
  iniPath[0] = 0;
  if (!MakeIniFileName(exePath, kIniName, iniPath)) return;
  for (size_t i = 0; i < std::size(kTextKeys); ++i)
    ProfileGetString(kOptionSection, kTextKeys[i].name, kTextKeys[i].def, TextField(o, i), kPathCap,
                     iniPath);
  for (const IntKey& k : kIntKeys)
    o->*k.field = ProfileGetInt(kOptionSection, k.name, k.def, iniPath);
}

bool PlaceLogFile(const ExePathFn& exePath, const char* value, const char* defaultName, char* out) {
  if (std::strcmp(value, defaultName) == 0) return MakeIniFileName(exePath, defaultName, out);
  CopyText(out, value);
  return true;
}

void ShowAndWriteOptions(Diag& diag, const ExePathFn& exePath, const OptionInfo& o) {
  char iniPath[kPathCap] = {0};
  if (!MakeIniFileName(exePath, kIniName, iniPath)) {
    diag.ToBoth(u"[%hs][%d][Err]: Nimbrel.ini Path : %s\n", kMainFunc, __LINE__,
                SystemToWide(iniPath));
    diag.Con(u"ERROR : Nimbrel.ini Path : %s\n", SystemToWide(iniPath));
    return;
  }
  std::u16string wideIni = SystemToWide(iniPath);
  diag.ToDbg(u"[%hs][%d][Info]: Nimbrel.ini Path : %s\n", kMainFunc, __LINE__, wideIni);
  diag.Con(u"INFO : Nimbrel.ini Path : %s\n", wideIni);
  diag.ToDbg(u"[%hs][%d][Info]: Option Settings\n", kMainFunc, __LINE__);
  diag.Con(u"INFO : Option Settings\n");
  diag.Con(u"INFO :  > AccessLogFileFullPath  : %s\n", SystemToWide(o.AccessLogFileFullPath));
  diag.Con(u"INFO :  > ErrorLogFileFullPath : %s\n", SystemToWide(o.ErrorLogFileFullPath));
  diag.Con(u"INFO :  > DebugLogFileFullPath : %s\n", SystemToWide(o.DebugLogFileFullPath));
  diag.Con(u"INFO :  > PacketFilter : %s\n", SystemToWide(o.PacketFilter));
  for (const IntKey& k : kIntKeys) diag.Con(k.show, o.*k.field);

  for (size_t i = 0; i < std::size(kTextKeys); ++i)
    ProfileWriteString(kOptionSection, kTextKeys[i].name, TextField(o, i), iniPath);
  for (const IntKey& k : kIntKeys) {
    char num[32];
    std::snprintf(num, sizeof num, "%d", static_cast<int>(o.*k.field));
    ProfileWriteString(kOptionSection, k.name, num, iniPath);
  }
}

void WriteAutoRun(const ExePathFn& exePath, const OptionInfo& o) {
  char iniPath[kPathCap];
  if (!MakeIniFileName(exePath, kIniName, iniPath)) return;
  ProfileWriteString(kOptionSection, "AutoRun", o.AutoRun == 1 ? "1" : "0", iniPath);
}

void DumpOptions(Diag& diag, const OptionInfo& o) {
  diag.DBG_LOG_PRINT(u"---- Option -------------\n", 1);
  diag.ToDbg(u"[%hs][%d][Info]: OptionInfo.ACCESS_LOG_FILE=%s\n", kMainFunc, __LINE__,
             SystemToWide(o.AccessLogFileFullPath));
  diag.ToDbg(u"[%hs][%d][Info]: OptionInfo.ERR_LOG_FILE=%s\n", kMainFunc, __LINE__,
             SystemToWide(o.ErrorLogFileFullPath));
  diag.ToDbg(u"[%hs][%d][Info]: OptionInfo.Packet_Filter=%s\n", kMainFunc, __LINE__,
             SystemToWide(o.PacketFilter));
  for (const IntKey& k : kIntKeys) diag.ToDbg(k.dump, kMainFunc, __LINE__, o.*k.field);
}

}  // namespace nbl
