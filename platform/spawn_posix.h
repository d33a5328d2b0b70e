// Running a helper program (Samba's tools) and reading what it prints. POSIX only.
#pragma once

#include <string>
#include <vector>

namespace nbl {

// Runs args[0] (found on PATH) with its standard error discarded and collects
// its standard output into *out. Returns its exit status, or -1 when it could
// not be run or did not exit normally.
int RunAndRead(const std::vector<std::string>& args, std::string* out);

}  // namespace nbl
