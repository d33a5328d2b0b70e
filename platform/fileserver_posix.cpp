// Samba as the file server. Its status tool (smbstatus --json) gives the
// session list and the open files; starting it costs tens of milliseconds,
// so the lists are kept as a snapshot for a short while (MaxAgeMs) and taken
// anew on demand.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "platform/codepage.h"
#include "platform/fileserver.h"
#include "platform/profile.h"

extern char** environ;

namespace nbl {
namespace {

using nlohmann::json;

int64_t MonotonicMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Runs a program and collects its standard output. Returns its exit status,
// or -1 when it could not be run.
int RunAndRead(const std::vector<std::string>& args, std::string* out) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }
  char buf[65536];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out->append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const json& j, const char* key) {
  auto it = j.find(key);
  if (it == j.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_unsigned()) return std::to_string(it->get<uint64_t>());
  if (it->is_number_integer()) return std::to_string(it->get<int64_t>());
  return {};
}

uint64_t Number(const json& j, const char* key) {
  std::string t = Text(j, key);
  return t.empty() ? 0 : std::strtoull(t.c_str(), nullptr, 0);
}

std::string ServerPid(const json& j) {
  auto it = j.find("server_id");
  return it != j.end() && it->is_object() ? Text(*it, "pid") : std::string();
}

// "2026-12-11T09:30:05.123456+09:00" to seconds since 1970; 0 when unreadable.
int64_t ParseTimestamp(const std::string& s) {
  struct tm t;
  std::memset(&t, 0, sizeof t);
  int y, mo, d, h, mi, sec;
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &sec) != 6) return 0;
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = sec;
  int64_t v = static_cast<int64_t>(timegm(&t));
  size_t tz = s.find_first_of("+-", 19);
  if (tz != std::string::npos) {
    int oh = 0, om = 0;
    if (std::sscanf(s.c_str() + tz + 1, "%d:%d", &oh, &om) == 2) {
      int64_t off = oh * 3600 + om * 60;
      v += s[tz] == '+' ? -off : off;
    }
  }
  return v;
}

// The client's address: "ipv4:10.0.0.2:50000" gives 10.0.0.2.
std::string ClientAddress(const json& session) {
  std::string host = Text(session, "hostname");
  if (host.rfind("ipv4:", 0) == 0) {
    std::string rest = host.substr(5);
    return rest.substr(0, rest.rfind(':'));
  }
  return Text(session, "remote_machine");
}

class SambaServer : public FileServer {
 public:
  explicit SambaServer(const char* iniPath) {
    char buf[512];
    ProfileGetString("Samba", "SmbConf", "/etc/samba/smb.conf", buf, sizeof buf, iniPath);
    smbConf_ = buf;
    ProfileGetString("Samba", "SmbStatus", "smbstatus", buf, sizeof buf, iniPath);
    smbStatus_ = buf;
    maxAgeMs_ = ProfileGetInt("Samba", "MaxAgeMs", 500, iniPath);
  }

  const ServerList<ServerSession>& Sessions(bool fresh) override {
    if (fresh || takenAtMs_ < 0 || MonotonicMs() - takenAtMs_ > maxAgeMs_) Refresh();
    return sessions_;
  }
  int64_t SessionsAgeMs() const override {
    return takenAtMs_ < 0 ? INT64_MAX : MonotonicMs() - takenAtMs_;
  }
  const ServerList<ServerOpenFile>& OpenFiles() override {
    if (takenAtMs_ < 0 || MonotonicMs() - takenAtMs_ > maxAgeMs_) Refresh();
    return files_;
  }

 private:
  void Refresh() {
    std::string out;
    int rc = RunAndRead({smbStatus_, "--json", "-s", smbConf_}, &out);
    takenAtMs_ = MonotonicMs();
    ++sessions_.generation;
    ++files_.generation;
    sessions_.items.clear();
    files_.items.clear();
    json j = rc == 0 ? json::parse(out, nullptr, false) : json();
    if (rc != 0 || j.is_discarded() || !j.is_object()) {
      sessions_.status = files_.status = rc != 0 ? (rc < 0 ? 1 : rc) : 1;
      return;
    }
    sessions_.status = files_.status = 0;
    int64_t now = static_cast<int64_t>(::time(nullptr));

    // Earliest tree connect of each session: Samba keeps no session start time.
    std::map<std::string, int64_t> since;
    if (auto t = j.find("tcons"); t != j.end() && t->is_object()) {
      for (const auto& [key, tcon] : t->items()) {
        if (!tcon.is_object()) continue;
        int64_t at = ParseTimestamp(Text(tcon, "connected_at"));
        std::string sid = Text(tcon, "session_id");
        if (at > 0 && (since.count(sid) == 0 || at < since[sid])) since[sid] = at;
      }
    }
    std::map<std::string, std::pair<std::u16string, std::u16string>> byPid;  // address, user
    std::map<std::string, uint64_t> opensByPid;
    if (auto f = j.find("open_files"); f != j.end() && f->is_object()) {
      for (const auto& [key, file] : f->items()) {
        if (!file.is_object()) continue;
        if (auto o = file.find("opens"); o != file.end() && o->is_object())
          for (const auto& [okey, open] : o->items())
            if (open.is_object()) ++opensByPid[ServerPid(open)];
      }
    }
    if (auto s = j.find("sessions"); s != j.end() && s->is_object()) {
      for (const auto& [key, session] : s->items()) {
        if (!session.is_object()) continue;
        ServerSession e;
        e.cname = SystemToWide(ClientAddress(session));
        e.username = SystemToWide(Text(session, "username"));
        std::string pid = ServerPid(session);
        e.num_opens = opensByPid[pid];
        auto at = since.find(Text(session, "session_id"));
        e.time =
            at != since.end() && now > at->second ? static_cast<uint64_t>(now - at->second) : 0;
        e.idle_time = 0;  // Samba keeps no idle time
        e.cltype_name = SystemToWide(Text(session, "session_dialect"));
        e.transport = SystemToWide(Text(session, "hostname"));
        byPid[pid] = {e.cname, e.username};
        sessions_.items.push_back(std::move(e));
      }
    }
    if (auto f = j.find("open_files"); f != j.end() && f->is_object()) {
      for (const auto& [key, file] : f->items()) {
        if (!file.is_object()) continue;
        std::string root = Text(file, "service_path");
        std::string name = Text(file, "filename");
        auto o = file.find("opens");
        if (o == file.end() || !o->is_object()) continue;
        for (const auto& [okey, open] : o->items()) {
          if (!open.is_object()) continue;
          ServerOpenFile e;
          e.id = Number(open, "share_file_id");
          e.path = SystemToWide(root + "/" + name);
          e.shareRelativePath = SystemToWide(name);
          auto who = byPid.find(ServerPid(open));
          if (who != byPid.end()) {
            e.clientAddress = who->second.first;
            e.username = who->second.second;
          }
          files_.items.push_back(std::move(e));
        }
      }
    }
  }

  std::string smbConf_;
  std::string smbStatus_;
  int64_t maxAgeMs_ = 500;
  int64_t takenAtMs_ = -1;
  ServerList<ServerSession> sessions_;
  ServerList<ServerOpenFile> files_;
};

}  // namespace

std::unique_ptr<FileServer> OpenFileServer(const char* iniPath) {
  return std::make_unique<SambaServer>(iniPath);
}

}  // namespace nbl
