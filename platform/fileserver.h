// The file server's own view of who is connected and what is open: the
// session list (NetSessionEnum level 502 on Windows) and the open-file list
// (NetFileEnum level 3). On POSIX the server is Samba and both lists come
// from its status tool.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nbl {

// One session, with the members of SESSION_INFO_502.
struct ServerSession {
  std::u16string cname;  // the client's IPv4 address in dotted form
  std::u16string username;
  uint64_t num_opens = 0;
  uint64_t time = 0;       // seconds since the session was set up
  uint64_t idle_time = 0;  // seconds since it was last used
  uint64_t user_flags = 0;
  std::u16string cltype_name;
  std::u16string transport;
};

// One open file.
struct ServerOpenFile {
  uint64_t id = 0;
  std::u16string path;               // the file's local path on the server
  std::u16string shareRelativePath;  // its name under the share (empty where unknown)
  std::u16string clientAddress;      // the client that holds it open (empty where unknown)
  std::u16string username;
};

// A list as the server gave it. status 0: the list is complete; another
// value is the system's status and the list holds what was read before it.
template <class T>
struct ServerList {
  int status = 0;
  std::vector<T> items;
  uint64_t generation = 0;  // changes whenever the list is taken anew
};

class FileServer {
 public:
  virtual ~FileServer() = default;
  // The session list. A server may hand out a recent snapshot; `fresh` asks
  // for a list taken now.
  virtual const ServerList<ServerSession>& Sessions(bool fresh) = 0;
  // When the last session list was taken, in milliseconds since 1970 (the
  // time of the request that produced it; now, where every call asks the
  // server).
  virtual int64_t SessionsTakenAtMs() const = 0;
  virtual const ServerList<ServerOpenFile>& OpenFiles() = 0;
};

// The server of this machine. iniPath names the program's settings file; the
// POSIX implementation reads its section "Samba" (keys SmbConf, SmbStatus).
std::unique_ptr<FileServer> OpenFileServer(const char* iniPath);

}  // namespace nbl
