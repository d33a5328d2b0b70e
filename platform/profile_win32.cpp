#include <windows.h>

#include "platform/profile.h"

namespace nbl {

size_t ProfileGetString(const char* section, const char* key, const char* def, char* out,
                        size_t cap, const char* file) {
  if (out == nullptr || cap == 0) return 0;
  return GetPrivateProfileStringA(section, key, def, out, static_cast<DWORD>(cap), file);
}

int ProfileGetInt(const char* section, const char* key, int def, const char* file) {
  return static_cast<int>(GetPrivateProfileIntA(section, key, def, file));
}

bool ProfileWriteString(const char* section, const char* key, const char* value, const char* file) {
  return WritePrivateProfileStringA(section, key, value, file) != 0;
}

}  // namespace nbl
