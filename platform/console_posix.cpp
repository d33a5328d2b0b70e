#include <unistd.h>

#include "platform/console.h"

namespace nbl {

void ConsoleSetup() {}

void SystemPause(std::FILE* in, std::FILE* out) {
  std::fputs("Press any key to continue . . .\n", out);
  std::fflush(out);
  if (in == nullptr || !::isatty(::fileno(in))) return;
  int c;
  while ((c = std::fgetc(in)) != EOF && c != '\n') {
  }
}

}  // namespace nbl
