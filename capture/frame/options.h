// Settings of the capture program: Nimbrel.ini, section "Option".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace nbl {

inline constexpr size_t kPathCap = 512;  // path and setting texts: 511 bytes and a terminator

// One field per key of section "Option"; read once at start-up, read-only
// from the capture start on.
struct OptionInfo {
  char AccessLogFileFullPath[kPathCap];
  char ErrorLogFileFullPath[kPathCap];
  char DebugLogFileFullPath[kPathCap];
  char PacketFilter[kPathCap];
  int32_t AutoRun;
  int32_t PCAP_ReadTimeout;
  int32_t AccessDataCnt;
  int32_t SessionSetupCnt;
  int32_t SmbOpenFileCnt;
  int32_t WriteTimeWidth;
  int32_t DeviceSetNo;
  int32_t PrintBaffuer;
  int32_t FilefflushFlg;
  int32_t printf_sflushFlg;
  int32_t DBGmode;
  int32_t DBGmodePrt;
  int32_t PrintMode;
  int32_t Logrotate_Date;
  int32_t Logrotate_DayOfWeek;
  int32_t Logrotate_Time_Hour;
  int32_t Logrotate_Time_Min;
  int32_t AplStartLogRotation;
};

inline constexpr const char kOptionSection[] = "Option";
inline constexpr const char kIniName[] = "Nimbrel.ini";
inline constexpr const char kAccessLogName[] = "Nimbrel.log";
inline constexpr const char kErrorLogName[] = "NimbrelERR.log";
inline constexpr const char kDebugLogName[] = "NimbrelDBG.log";

// Full path of the running executable (injectable so tests can place files).
using ExePathFn = std::function<bool(char* out, size_t cap)>;

void SetOptionDefaults(OptionInfo* o);

// Forms the path of a file in the executable's directory into out (kPathCap
// bytes). False, with out untouched, when the executable's path is unknown or
// the result would not fit.
bool MakeIniFileName(const ExePathFn& exePath, const char* name, char* out);

// Start-up: the defaults, then every key found in the settings file. When the
// settings path cannot be formed the defaults stay (rather than empty paths
// and zero-sized tables). iniPath receives the settings path (kPathCap).
void LoadOptions(const ExePathFn& exePath, OptionInfo* o, char* iniPath);

// Places a log file: the default bare name goes beside the executable, any
// other value is used as written. False when the path cannot be formed.
bool PlaceLogFile(const ExePathFn& exePath, const char* value, const char* defaultName, char* out);

class Diag;

// Menu item 2: show every setting and write every key back, in the fixed order.
void ShowAndWriteOptions(Diag& diag, const ExePathFn& exePath, const OptionInfo& o);
// Menu item 3 writes the AutoRun key alone.
void WriteAutoRun(const ExePathFn& exePath, const OptionInfo& o);
// Capture start: the whole record into the debug log.
void DumpOptions(Diag& diag, const OptionInfo& o);

}  // namespace nbl
