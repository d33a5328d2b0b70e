// The checks the registration dialog makes on its entries before it saves
// them and registers a service.
#pragma once

namespace corvane {

enum class entry_fault {
  none,
  service_name_empty,
  service_name_too_long,  // the mutex name would not fit
  program_not_exe,        // empty, or its extension is not "exe" in any letter case
  command_too_long,       // "path option" would not fit its buffer
};

// The first fault of the entries, in the order the dialog reports them.
entry_fault check_entries(const char* service_name, const char* exe_name, const char* option_name);

// 1 when the path's extension is "exe" in any letter case.
int is_exe_path(const char* path);

}  // namespace corvane
