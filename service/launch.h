// How the wrapped program is started and asked to end, apart from the system
// calls that carry it out: the command line, the working directory, the
// creation flags, the single-instance mutex name and the messages of each end
// method.
#pragma once

#include <cstdint>

#include "service/paths.h"

namespace corvane {

// End methods (INI key "end"). Any other value acts as END_WM_CLOSE.
inline constexpr int32_t END_WM_CLOSE = 0;
inline constexpr int32_t END_SYSCOMMAND_CLOSE = 1;  // SC_CLOSE, then WM_CLOSE
inline constexpr int32_t END_SYSCOMMAND = 2;        // SC_CLOSE only
inline constexpr int32_t END_CTRL_BREAK = 3;        // console Ctrl+Break to the process group

// The window message values the end methods send.
inline constexpr uint32_t CODE_WM_CLOSE = 0x0010;
inline constexpr uint32_t CODE_WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t CODE_SC_CLOSE = 0xF060;

inline constexpr uint32_t CREATE_FLAGS = 0x04000000;            // default error mode
inline constexpr uint32_t CREATE_FLAGS_NEW_GROUP = 0x04000200;  // ... and a new process group

// A bound on each stop message, so that a window that no longer answers
// cannot hold the stop request (and with it the service) forever.
inline constexpr uint32_t STOP_SEND_TIMEOUT_MS = 5000;

inline constexpr char MUTEX_STRING[] = "$$Corvane$$%s$$";

// The longest program path plus option text whose command line "path option"
// fits its buffer (two bytes less for a path that needs quotes), and the
// longest service name whose mutex name fits.
inline constexpr int MAX_COMMAND_TEXT = PATH_BYTES - 2;
inline constexpr int MAX_SERVICE_NAME =
    PATH_BYTES - 1 - (static_cast<int>(sizeof MUTEX_STRING) - 1 - 2);

// How many bytes of program path and option text fit the command line of
// this path: a path with a space is put in quotes, so that the system cannot
// take a leading part of it ("C:\Program") for the program.
int command_text_limit(const char* exe_name);

// Whether "path option" fits its buffer.
bool command_fits(const char* exe_name, const char* option_name);

// The service's executable path for the service control manager: the
// wrapper's full path, in quotes when it holds a space, for the same reason.
// out holds PATH_BYTES + 2 bytes.
void format_binary_path(const char* module_name, char* out);

struct program_start {
  char command_line[PATH_BYTES];  // "path option"; the path quoted only when it holds a space
  char work_dir[PATH_BYTES];      // the path cut at its last backslash
  uint32_t creation_flags;
  bool own_console;  // the wrapper needs a console of its own for the Ctrl+Break method
};

// False, and nothing started, when the command line would not fit: a cut
// command line would run the program with other options than those asked for.
bool plan_program_start(const char* exe_name, const char* option_name, int32_t end_pattern,
                        program_start* out);

// False when the service name is too long for the mutex name.
bool format_mutex_name(const char* service_name, char* out);

struct window_message {
  uint32_t message;
  uint32_t wparam;  // lParam is always 0
};

enum class stop_kind { none, console_break, window_messages };

struct stop_request {
  stop_kind kind;
  int count;  // of messages, for window_messages
  window_message messages[2];
};

// What a stop request sends for the end method. Before the program has been
// started (process_id 0) it sends nothing: a Ctrl+Break to process group 0
// would reach every process on the wrapper's console, the wrapper included.
stop_request plan_stop_request(int32_t end_pattern, uint32_t process_id);

}  // namespace corvane
