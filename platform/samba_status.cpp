#include "platform/samba_status.h"

#include <time.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "platform/codepage.h"
#include "platform/profile.h"

namespace nbl {
namespace {

using nlohmann::json;

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

const json* Object(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_object() ? &*it : nullptr;
}

// "2026-12-11T09:30:05.123456+09:00" to seconds since 1970; 0 when unreadable.
int64_t ParseTimestamp(const std::string& s) {
  int y, mo, d, h, mi, sec;
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &sec) != 6) return 0;
  struct tm t;
  std::memset(&t, 0, sizeof t);
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = sec;
  int64_t v = static_cast<int64_t>(timegm(&t));
  size_t tz = s.find_first_of("+-", 19);
  int oh = 0, om = 0;
  if (tz != std::string::npos && std::sscanf(s.c_str() + tz + 1, "%d:%d", &oh, &om) == 2)
    v += (s[tz] == '+' ? -1 : 1) * static_cast<int64_t>(oh * 3600 + om * 60);
  return v;
}

std::string ClientAddress(const json& session) {
  std::string host = Text(session, "hostname");
  if (host.rfind("ipv4:", 0) == 0) {
    std::string rest = host.substr(5);
    return rest.substr(0, rest.rfind(':'));
  }
  return Text(session, "remote_machine");
}

std::string SettingText(const char* key, const char* def, const char* iniPath) {
  char buf[512];
  ProfileGetString("Samba", key, def, buf, sizeof buf, iniPath);
  return buf;
}

}  // namespace

SambaSettings ReadSambaSettings(const char* iniPath) {
  SambaSettings s;
  s.smbConf = SettingText("SmbConf", "/etc/samba/smb.conf", iniPath);
  s.smbStatus = SettingText("SmbStatus", "smbstatus", iniPath);
  s.testparm = SettingText("Testparm", "testparm", iniPath);
  s.maxAgeMs = ProfileGetInt("Samba", "MaxAgeMs", 500, iniPath);
  s.retainMs = ProfileGetInt("Samba", "RetainMs", 500, iniPath);
  return s;
}

bool ParseSambaStatus(const std::string& text, int64_t now, std::vector<ServerSession>* sessions,
                      std::vector<ServerOpenFile>* files) {
  sessions->clear();
  files->clear();
  json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return false;
  if (now < 0) now = ParseTimestamp(Text(j, "timestamp"));

  std::map<std::string, int64_t> since;  // session id: earliest tree connect
  if (const json* tcons = Object(j, "tcons")) {
    for (const auto& [key, tcon] : tcons->items()) {
      if (!tcon.is_object()) continue;
      int64_t at = ParseTimestamp(Text(tcon, "connected_at"));
      std::string sid = Text(tcon, "session_id");
      auto it = since.find(sid);
      if (at > 0 && (it == since.end() || at < it->second)) since[sid] = at;
    }
  }
  const json* openFiles = Object(j, "open_files");
  std::map<std::string, uint64_t> opensByPid;
  if (openFiles) {
    for (const auto& [key, file] : openFiles->items())
      if (const json* opens = file.is_object() ? Object(file, "opens") : nullptr)
        for (const auto& [okey, open] : opens->items())
          if (open.is_object()) ++opensByPid[ServerPid(open)];
  }
  struct Who {
    std::u16string address, user;
  };
  std::map<std::string, Who> byPid;
  if (const json* list = Object(j, "sessions")) {
    for (const auto& [key, session] : list->items()) {
      if (!session.is_object()) continue;
      ServerSession e;
      e.cname = SystemToWide(ClientAddress(session));
      e.username = SystemToWide(Text(session, "username"));
      std::string pid = ServerPid(session);
      e.num_opens = opensByPid[pid];
      auto at = since.find(Text(session, "session_id"));
      if (at != since.end() && now > at->second) e.time = static_cast<uint64_t>(now - at->second);
      e.cltype_name = SystemToWide(Text(session, "session_dialect"));
      e.transport = SystemToWide(Text(session, "hostname"));
      byPid[pid] = {e.cname, e.username};
      sessions->push_back(std::move(e));
    }
  }
  if (openFiles) {
    for (const auto& [key, file] : openFiles->items()) {
      const json* opens = file.is_object() ? Object(file, "opens") : nullptr;
      if (opens == nullptr) continue;
      std::string name = Text(file, "filename");
      std::string path = Text(file, "service_path") + "/" + name;
      for (const auto& [okey, open] : opens->items()) {
        if (!open.is_object()) continue;
        ServerOpenFile e;
        e.id = Number(open, "share_file_id");
        e.path = SystemToWide(path);
        e.shareRelativePath = SystemToWide(name);
        auto who = byPid.find(ServerPid(open));
        if (who != byPid.end()) {
          e.clientAddress = who->second.address;
          e.username = who->second.user;
        }
        files->push_back(std::move(e));
      }
    }
  }
  return true;
}

}  // namespace nbl
