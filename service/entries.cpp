#include "service/entries.h"

#include <cstring>

#include "service/launch.h"
#include "service/paths.h"

namespace corvane {

int is_exe_path(const char* path) {
  const char* ext = extract_ext(path);
  const char want[] = "exe";
  for (int i = 0; i < 4; ++i) {
    char c = ext[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != want[i]) return 0;
  }
  return 1;
}

entry_fault check_entries(const char* service_name, const char* exe_name, const char* option_name) {
  if (service_name[0] == 0) return entry_fault::service_name_empty;
  if (std::strlen(service_name) > static_cast<size_t>(MAX_SERVICE_NAME))
    return entry_fault::service_name_too_long;
  if (exe_name[0] == 0 || !is_exe_path(exe_name)) return entry_fault::program_not_exe;
  if (!command_fits(exe_name, option_name)) return entry_fault::command_too_long;
  return entry_fault::none;
}

}  // namespace corvane
