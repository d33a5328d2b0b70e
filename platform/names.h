// Reverse name look-up of a client's address.
#pragma once

#include <cstddef>

namespace nbl {

// Starts the system's socket library where it needs starting (Windows).
void NetworkStartup();

// The registered host name of an IPv4 address in dotted form, into host
// (cap bytes, zero-filled first). An address without a registered name gives
// an error and an empty host, never the numeric form. Returns the resolver's
// result code (0 on success).
int ResolveHostName(const char* ipv4, char* host, size_t cap);

}  // namespace nbl
