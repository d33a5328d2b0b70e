// The tables allocated at capture start.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "capture/fileaccess/openfile.h"
#include "capture/frame/fixedtable.h"
#include "capture/smb2/accessinfo.h"
#include "capture/smb2/session.h"

namespace nbl {

struct Nimbrel;

// Allocates the session, access-information and open-file tables in that
// order; returns the exit code when one cannot be had.
std::optional<int> AllocateTables(Nimbrel& app);

}  // namespace nbl
