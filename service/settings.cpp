#include "service/settings.h"

#include <cstdio>
#include <cstring>

#include "platform/profile.h"

namespace corvane {
namespace {

void copy_text(char* dst, const char* src) {
  std::snprintf(dst, PATH_BYTES, "%s", src);
}

}  // namespace

corvane_settings settings;

bool set_module_paths(corvane_settings& s, const char* module_path) {
  copy_text(s.module_name, module_path);
  copy_text(s.execute_path, s.module_name);
  extract_directory(s.execute_path);
  int n = std::snprintf(s.ini_name, PATH_BYTES, "%s%s", s.execute_path, INI_FILE_NAME);
  return std::strlen(module_path) < static_cast<size_t>(PATH_BYTES) && n < PATH_BYTES;
}

void get_inifile(corvane_settings& s) {
  nbl::ProfileGetString(HEADER, KEY_EXE, "", s.exe_name, PATH_BYTES, s.ini_name);
  nbl::ProfileGetString(HEADER, KEY_OPTION, DEFAULT_OPTION, s.option_name, PATH_BYTES, s.ini_name);
  nbl::ProfileGetString(HEADER, KEY_NAME, "", s.service_name, PATH_BYTES, s.ini_name);
  s.end_pattern = nbl::ProfileGetInt(HEADER, KEY_END, DEFAULT_END, s.ini_name);
  s.auto_flag = nbl::ProfileGetInt(HEADER, KEY_AUTO, DEFAULT_AUTO, s.ini_name);
  s.desktop_flag = nbl::ProfileGetInt(HEADER, KEY_DESKTOP, DEFAULT_DESKTOP, s.ini_name);
}

void set_inifile(const corvane_settings& s) {
  nbl::ProfileWriteString(HEADER, KEY_EXE, s.exe_name, s.ini_name);
  nbl::ProfileWriteString(HEADER, KEY_OPTION, s.option_name, s.ini_name);
  nbl::ProfileWriteString(HEADER, KEY_NAME, s.service_name, s.ini_name);
  WritePrivateProfileInt(HEADER, KEY_END, s.end_pattern, s.ini_name);
  WritePrivateProfileInt(HEADER, KEY_AUTO, s.auto_flag, s.ini_name);
  WritePrivateProfileInt(HEADER, KEY_DESKTOP, s.desktop_flag, s.ini_name);
}

void WritePrivateProfileInt(const char* section, const char* name, int no,
                            const char* ini_file_path) {
  char text[100];
  std::snprintf(text, sizeof text, "%d", no);
  nbl::ProfileWriteString(section, name, text, ini_file_path);
}

}  // namespace corvane
