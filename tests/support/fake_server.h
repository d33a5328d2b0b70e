// A file server whose session and open-file lists the test sets, and a name
// resolver with a fixed answer, so that frames are tracked without Samba.
#pragma once

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/fileattr.h"
#include "platform/fileserver.h"

namespace nbl::test {

class FakeFileServer : public FileServer {
 public:
  FakeFileServer() {
    ServerSession s;
    s.cname = u"10.99.0.2";
    s.username = u"labuser";
    s.time = 30;
    s.idle_time = 2;
    s.cltype_name = u"SMB3_11";
    sessions.items.push_back(s);
  }
  const ServerList<ServerSession>& Sessions(bool fresh) override {
    ++sessionCalls;
    if (fresh) {
      ++freshCalls;
      if (nextFresh) {
        SetSessions(*nextFresh);
        nextFresh.reset();
      }
    }
    return sessions;
  }
  int64_t SessionsTakenAtMs() const override { return takenAtMs; }
  const ServerList<ServerOpenFile>& OpenFiles() override {
    ++openFileCalls;
    return openFiles;
  }
  // Replaces the list, as a new enumeration would.
  void SetSessions(std::vector<ServerSession> items) {
    sessions.items = std::move(items);
    ++sessions.generation;
  }

  ServerList<ServerSession> sessions;
  std::optional<std::vector<ServerSession>> nextFresh;  // what a list taken now shows
  ServerList<ServerOpenFile> openFiles;
  int64_t takenAtMs = INT64_MAX;  // after every frame: never asked again
  int sessionCalls = 0;
  int freshCalls = 0;
  int openFileCalls = 0;
};

// Host names by address; an address without one fails as an unregistered one does.
struct FakeResolver {
  std::map<std::string, std::string> names;
  int operator()(const char* ip, char* host, size_t cap) const {
    auto it = names.find(ip);
    std::memset(host, 0, cap);
    if (it == names.end()) return -2;  // EAI_NONAME
    std::snprintf(host, cap, "%s", it->second.c_str());
    return 0;
  }
};

}  // namespace nbl::test

namespace nbl::test {

// Files by path, with the attributes and times a test gives them.
class FakeFileSystem : public FileSystemView {
 public:
  bool GetAttributes(std::u16string_view path, FileAttributeData* out) override {
    ++lookups;
    auto it = files.find(std::u16string(path));
    if (it == files.end()) return false;
    *out = it->second;
    return true;
  }
  int FindFileOrFolder(std::u16string_view path) override {
    auto it = files.find(std::u16string(path));
    if (it == files.end()) return 0;
    return (it->second.attributes & kAttrDirectory) ? 2 : 1;
  }
  bool IsLocalRoot(std::u16string_view root) const override {
    return !root.empty() && root[0] == u'/';
  }
  void Add(std::u16string path, uint32_t attributes, int64_t creation, int64_t access,
           int64_t write) {
    FileAttributeData d;
    d.attributes = attributes;
    d.creation = creation;
    d.lastAccess = access;
    d.lastWrite = write;
    files[std::move(path)] = d;
  }
  std::map<std::u16string, FileAttributeData> files;
  int lookups = 0;
};

}  // namespace nbl::test
