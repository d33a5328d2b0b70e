// Byte-string path helpers for paths in the system code page. Paths may hold
// Shift-JIS double-byte characters whose second byte has the value of a
// backslash (0x5C) or colon; those are never taken as separators.
#pragma once

namespace corvane {

// Every path, name and command line of the wrapper lives in a buffer this size.
inline constexpr int PATH_BYTES = 260;

// 1 when ch is a Shift-JIS lead byte (0x81-0x9F or 0xE0-0xFC), else 0.
int iskanji(unsigned char ch);

// Cuts path in place at its last backslash: "C:\tools\prog.exe" becomes
// "C:\tools". A path without a backslash is left whole.
void extract_directory(char* path);

// The file name of path without directory and extension, up to its first dot,
// into name (PATH_BYTES bytes).
void extract_name_only(char* name, const char* path);

// Points just past the last dot of the final component of path, or at its
// terminating NUL when it has no extension.
const char* extract_ext(const char* path);

}  // namespace corvane
