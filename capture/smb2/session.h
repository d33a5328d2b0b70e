// The server's session list as the capture program keeps it.
#pragma once

#include <cstdint>

#include "capture/smb2/accessinfo.h"

namespace nbl {

// One server session, with the members of the system's SESSION_INFO_502.
struct NBL_SmbSession_ST {
  U16 sesi502_cname[kTextUnits];  // the client's IPv4 address in dotted form
  U16 sesi502_username[kTextUnits];
  uint64_t sesi502_num_opens;
  uint64_t sesi502_time;       // seconds since the session was set up
  uint64_t sesi502_idle_time;  // seconds since it was last used
  uint64_t sesi502_user_flags;
  U16 sesi502_cltype_name[kTextUnits];
  U16 sesi502_transport[kTextUnits];
};

}  // namespace nbl
