#include "service/paths.h"

namespace corvane {
namespace {

// Position of the last byte equal to one of the separators, skipping the
// second halves of double-byte characters; -1 when there is none.
int last_separator(const char* path, bool colon_too) {
  int last = -1;
  for (int i = 0; path[i] != 0; ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (iskanji(c)) {
      if (path[i + 1] == 0) break;  // a lead byte cut off by the end of the string
      ++i;
      continue;
    }
    if (c == '\\' || (colon_too && c == ':')) last = i;
  }
  return last;
}

}  // namespace

int iskanji(unsigned char ch) {
  return (ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC);
}

void extract_directory(char* path) {
  int cut = last_separator(path, false);
  if (cut >= 0) path[cut] = 0;
}

void extract_name_only(char* name, const char* path) {
  const char* start = path + last_separator(path, true) + 1;
  int n = 0;
  while (n < PATH_BYTES - 1 && start[n] != 0 && start[n] != '.') {
    name[n] = start[n];
    ++n;
  }
  name[n] = 0;
}

const char* extract_ext(const char* path) {
  const char* end = path;
  while (*end != 0) ++end;
  for (const char* p = end; p != path;) {
    --p;
    if (*p == '.') return p + 1;
    if (*p == '\\' || *p == '/' || *p == ':') break;
  }
  return end;
}

}  // namespace corvane
