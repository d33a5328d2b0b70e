// Profile (INI) files, with the semantics of the Windows profile functions:
// section and key names compared without regard to case, values trimmed (and
// unquoted when the whole value is quoted), a missing file or key gives the
// default. A write creates the file, the section and the key as needed,
// replaces an existing key in place, appends a new key after the last entry of
// its section and leaves every other line as it was.
#pragma once

#include <cstddef>

namespace nbl {

// Copies the value (or def) into out, cut to cap-1 bytes; returns its length.
size_t ProfileGetString(const char* section, const char* key, const char* def, char* out,
                        size_t cap, const char* file);

// The leading decimal digits of the value (an optional '-' before them);
// a value that does not start with a digit reads as 0 ("3x" is 3, "x" is 0);
// a missing or empty value gives def.
int ProfileGetInt(const char* section, const char* key, int def, const char* file);

// Returns false when the file cannot be read or written.
bool ProfileWriteString(const char* section, const char* key, const char* value, const char* file);

}  // namespace nbl
