// Samba as the file server. Its status tool (smbstatus --json) gives the
// session list and the open files; starting it costs tens of milliseconds, so
// the lists are kept as a snapshot for a short while (MaxAgeMs) and taken
// anew on demand.
#include <time.h>

#include "platform/clock.h"
#include "platform/fileserver.h"
#include "platform/samba_status.h"
#include "platform/spawn_posix.h"

namespace nbl {
namespace {

int64_t MonotonicMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class SambaServer : public FileServer {
 public:
  explicit SambaServer(const char* iniPath) : samba_(ReadSambaSettings(iniPath)) {}

  const ServerList<ServerSession>& Sessions(bool fresh) override {
    if (fresh || Stale()) Refresh();
    return sessions_;
  }
  int64_t SessionsTakenAtMs() const override { return askedAtWallMs_; }
  const ServerList<ServerOpenFile>& OpenFiles() override {
    if (Stale()) Refresh();
    return files_;
  }

 private:
  bool Stale() const { return takenAtMs_ < 0 || MonotonicMs() - takenAtMs_ > samba_.maxAgeMs; }

  void Refresh() {
    std::string out;
    const int64_t startMs = MonotonicMs();
    askedAtWallMs_ = SystemNowMs();
    int rc = RunAndRead({samba_.smbStatus, "--json", "-s", samba_.smbConf}, &out);
    takenAtMs_ = MonotonicMs();
    ++sessions_.generation;
    ++files_.generation;
    std::vector<ServerSession> current;
    bool ok = rc == 0 &&
              ParseSambaStatus(out, static_cast<int64_t>(::time(nullptr)), &current, &files_.items);
    sessions_.status = files_.status = ok ? 0 : (rc > 0 ? rc : 1);
    if (!ok) files_.items.clear();
    Retain(current, startMs);
  }

  // The list is taken some 70 ms after the frame that asked for it, by which
  // time a client may have logged off (the TREE_DISCONNECT before a LOGOFF):
  // a session that left the list keeps matching for RetainMs after the list
  // that no longer has it, behind the current ones. With the snapshot's own
  // MaxAgeMs a closed session stops matching within a second.
  void Retain(std::vector<ServerSession>& current, int64_t takenMs) {
    auto same = [](const ServerSession& a, const ServerSession& b) {
      return a.transport == b.transport && a.username == b.username && a.cname == b.cname;
    };
    for (const ServerSession& old : lastCurrent_) {
      bool present = false;
      for (const ServerSession& s : current) present = present || same(s, old);
      if (!present) recent_.push_back({old, takenMs});
    }
    std::vector<std::pair<ServerSession, int64_t>> kept;
    for (auto& r : recent_) {
      bool back = false;
      for (const ServerSession& s : current) back = back || same(s, r.first);
      if (!back && takenMs - r.second <= samba_.retainMs) kept.push_back(std::move(r));
    }
    recent_ = std::move(kept);
    lastCurrent_ = current;
    sessions_.items = std::move(current);
    for (const auto& r : recent_) sessions_.items.push_back(r.first);
  }

  SambaSettings samba_;
  int64_t takenAtMs_ = -1;                  // monotonic, when the last list came back
  int64_t askedAtWallMs_ = 0;               // wall clock, when it was asked for
  std::vector<ServerSession> lastCurrent_;  // the server's own last list
  std::vector<std::pair<ServerSession, int64_t>> recent_;  // gone, and since when
  ServerList<ServerSession> sessions_;
  ServerList<ServerOpenFile> files_;
};

}  // namespace

std::unique_ptr<FileServer> OpenFileServer(const char* iniPath) {
  return std::make_unique<SambaServer>(iniPath);
}

}  // namespace nbl
