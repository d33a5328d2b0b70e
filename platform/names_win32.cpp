#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/names.h"

namespace nbl {

void NetworkStartup() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);  // kept for the whole run
}

int ResolveHostName(const char* ipv4, char* host, size_t cap) {
  std::memset(host, 0, cap);
  sockaddr_in sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sin_family = AF_INET;
  if (inet_pton(AF_INET, ipv4, &sa.sin_addr) != 1) return WSAGetLastError();
  int rc = getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, static_cast<DWORD>(cap),
                       nullptr, 0, NI_NAMEREQD);
  if (rc != 0) std::memset(host, 0, cap);
  return rc;
}

}  // namespace nbl
