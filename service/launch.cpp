#include "service/launch.h"

#include <cstdio>
#include <cstring>

namespace corvane {

namespace {

bool has_space(const char* path) {
  return std::strchr(path, ' ') != nullptr;
}

}  // namespace

int command_text_limit(const char* exe_name) {
  return has_space(exe_name) ? MAX_COMMAND_TEXT - 2 : MAX_COMMAND_TEXT;
}

bool command_fits(const char* exe_name, const char* option_name) {
  return std::strlen(exe_name) + std::strlen(option_name) <=
         static_cast<size_t>(command_text_limit(exe_name));
}

void format_binary_path(const char* module_name, char* out) {
  std::snprintf(out, PATH_BYTES + 2, has_space(module_name) ? "\"%s\"" : "%s", module_name);
}

bool plan_program_start(const char* exe_name, const char* option_name, int32_t end_pattern,
                        program_start* out) {
  if (!command_fits(exe_name, option_name)) return false;
  std::snprintf(out->command_line, PATH_BYTES, has_space(exe_name) ? "\"%s\" %s" : "%s %s",
                exe_name, option_name);
  std::snprintf(out->work_dir, PATH_BYTES, "%s", exe_name);
  extract_directory(out->work_dir);
  out->own_console = end_pattern == END_CTRL_BREAK;
  out->creation_flags = out->own_console ? CREATE_FLAGS_NEW_GROUP : CREATE_FLAGS;
  return true;
}

bool format_mutex_name(const char* service_name, char* out) {
  if (std::strlen(service_name) > static_cast<size_t>(MAX_SERVICE_NAME)) return false;
  std::snprintf(out, PATH_BYTES, MUTEX_STRING, service_name);
  return true;
}

stop_request plan_stop_request(int32_t end_pattern, uint32_t process_id) {
  stop_request r{};
  if (process_id == 0) {
    r.kind = stop_kind::none;
    return r;
  }
  if (end_pattern == END_CTRL_BREAK) {
    r.kind = stop_kind::console_break;
    return r;
  }
  r.kind = stop_kind::window_messages;
  if (end_pattern == END_SYSCOMMAND_CLOSE || end_pattern == END_SYSCOMMAND)
    r.messages[r.count++] = {CODE_WM_SYSCOMMAND, CODE_SC_CLOSE};
  if (end_pattern != END_SYSCOMMAND) r.messages[r.count++] = {CODE_WM_CLOSE, 0};
  return r;
}

}  // namespace corvane
