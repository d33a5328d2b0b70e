#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/names.h"

namespace nbl {

void NetworkStartup() {}

int ResolveHostName(const char* ipv4, char* host, size_t cap) {
  std::memset(host, 0, cap);
  struct sockaddr_in sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sin_family = AF_INET;
  if (inet_pton(AF_INET, ipv4, &sa.sin_addr) != 1) return EAI_NONAME;
  int rc = getnameinfo(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa, host,
                       static_cast<socklen_t>(cap), nullptr, 0, NI_NAMEREQD);
  if (rc != 0) std::memset(host, 0, cap);
  return rc;
}

}  // namespace nbl
