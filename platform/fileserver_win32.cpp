#include <windows.h>
// netapi32 declarations need windows.h first.
#include <lm.h>

#include "platform/clock.h"
#include "platform/fileserver.h"

namespace nbl {
namespace {

std::u16string Wide(const wchar_t* s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}

// Every call asks the server service, as the system's own tools do.
class NetApiServer : public FileServer {
 public:
  const ServerList<ServerSession>& Sessions(bool /*fresh*/) override {
    sessions_.items.clear();
    sessions_.status = 0;
    ++sessions_.generation;
    DWORD resume = 0;
    NET_API_STATUS st;
    do {
      LPBYTE buf = nullptr;
      DWORD read = 0, total = 0;
      st = NetSessionEnum(nullptr, nullptr, nullptr, 502, &buf, MAX_PREFERRED_LENGTH, &read, &total,
                          &resume);
      if (st != NERR_Success && st != ERROR_MORE_DATA) {
        if (buf) NetApiBufferFree(buf);
        sessions_.status = static_cast<int>(st);
        break;
      }
      auto* info = reinterpret_cast<SESSION_INFO_502*>(buf);
      for (DWORD i = 0; info != nullptr && i < read; ++i) {
        ServerSession s;
        s.cname = Wide(info[i].sesi502_cname);
        s.username = Wide(info[i].sesi502_username);
        s.num_opens = info[i].sesi502_num_opens;
        s.time = info[i].sesi502_time;
        s.idle_time = info[i].sesi502_idle_time;
        s.user_flags = info[i].sesi502_user_flags;
        s.cltype_name = Wide(info[i].sesi502_cltype_name);
        s.transport = Wide(info[i].sesi502_transport);
        sessions_.items.push_back(std::move(s));
      }
      if (buf) NetApiBufferFree(buf);
    } while (st == ERROR_MORE_DATA);
    return sessions_;
  }

  int64_t SessionsTakenAtMs() const override { return SystemNowMs(); }

  const ServerList<ServerOpenFile>& OpenFiles() override {
    files_.items.clear();
    files_.status = 0;
    ++files_.generation;
    DWORD_PTR resume = 0;
    NET_API_STATUS st;
    do {
      LPBYTE buf = nullptr;
      DWORD read = 0, total = 0;
      st = NetFileEnum(nullptr, nullptr, nullptr, 3, &buf, MAX_PREFERRED_LENGTH, &read, &total,
                       &resume);
      if (st != NERR_Success && st != ERROR_MORE_DATA) {
        if (buf) NetApiBufferFree(buf);
        files_.status = static_cast<int>(st);
        break;
      }
      auto* info = reinterpret_cast<FILE_INFO_3*>(buf);
      for (DWORD i = 0; info != nullptr && i < read; ++i) {
        ServerOpenFile f;
        f.id = info[i].fi3_id;
        f.path = Wide(info[i].fi3_pathname);
        f.username = Wide(info[i].fi3_username);
        files_.items.push_back(std::move(f));
      }
      if (buf) NetApiBufferFree(buf);
    } while (st == ERROR_MORE_DATA);
    return files_;
  }

 private:
  ServerList<ServerSession> sessions_;
  ServerList<ServerOpenFile> files_;
};

}  // namespace

std::unique_ptr<FileServer> OpenFileServer(const char* /*iniPath*/) {
  return std::make_unique<NetApiServer>();
}

}  // namespace nbl
