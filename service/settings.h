// The wrapper's settings: Corvane.ini beside the executable, one section.
// The service reads it at every start; the registration dialog reads it at
// every start and writes it only when it registers a service.
#pragma once

#include <cstdint>

#include "service/paths.h"

namespace corvane {

// Section name, and the caption of the wrapper's message boxes.
inline constexpr char HEADER[] = "Corvane";
inline constexpr char INI_FILE_NAME[] = "\\Corvane.ini";

inline constexpr char KEY_EXE[] = "exe";
inline constexpr char KEY_OPTION[] = "option";
inline constexpr char KEY_NAME[] = "name";
inline constexpr char KEY_END[] = "end";
inline constexpr char KEY_AUTO[] = "auto";
inline constexpr char KEY_DESKTOP[] = "desktop";

inline constexpr char DEFAULT_OPTION[] = "SC";
inline constexpr int32_t DEFAULT_END = 1;
inline constexpr int32_t DEFAULT_AUTO = 1;
inline constexpr int32_t DEFAULT_DESKTOP = 1;

// Settings and the paths derived from the executable's location. All texts
// are bytes in the system code page, at most PATH_BYTES - 1 of them.
struct corvane_settings {
  char module_name[PATH_BYTES];   // full path of the wrapper's executable
  char execute_path[PATH_BYTES];  // its directory, no trailing backslash
  char ini_name[PATH_BYTES];      // execute_path + "\Corvane.ini"
  char exe_name[PATH_BYTES];      // program to run
  char option_name[PATH_BYTES];   // put after the program path on its command line
  char service_name[PATH_BYTES];  // service name, display name, part of the mutex name
  int32_t end_pattern;            // end method 0 to 3
  int32_t auto_flag;              // 1: automatic start, 0: on demand
  int32_t desktop_flag;           // 1: may interact with the desktop
};

// The process-wide settings of the running wrapper.
extern corvane_settings settings;

// Fills module_name, execute_path and ini_name from the executable's path.
// False when a path does not fit its buffer: a cut settings path would name
// another file.
bool set_module_paths(corvane_settings& s, const char* module_path);

// Reads the six keys; a missing file or key gives its default.
void get_inifile(corvane_settings& s);

// Writes the six keys in their fixed order, creating the file if needed.
// Failures are not reported.
void set_inifile(const corvane_settings& s);

// Writes no as decimal text under key name of section.
void WritePrivateProfileInt(const char* section, const char* name, int no,
                            const char* ini_file_path);

}  // namespace corvane
