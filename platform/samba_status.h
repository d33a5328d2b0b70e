// Samba's status report (smbstatus --json) read into the file server's
// session and open-file lists. POSIX only.
//
// Where each SESSION_INFO_502 member comes from on Samba:
//   cname       the address of "hostname" ("ipv4:ADDR:PORT"), else "remote_machine"
//   username    "username"
//   num_opens   the opens held by the session's smbd process ("server_id.pid")
//   time        seconds since the session's earliest tree connect ("connected_at");
//               Samba keeps no session start time
//   idle_time   0: Samba keeps no idle time
//   user_flags  0
//   cltype_name "session_dialect" (for example SMB3_11); Samba keeps no client type
//   transport   "hostname"
// Open files: path = "service_path" + "/" + "filename", shareRelativePath =
// "filename", clientAddress and username from the session of the same smbd
// process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fileserver.h"

namespace nbl {

// Section "Samba" of the program's settings file: where Samba's configuration
// and tools are, and how its session list is kept.
struct SambaSettings {
  std::string smbConf;    // SmbConf, "/etc/samba/smb.conf"
  std::string smbStatus;  // SmbStatus, "smbstatus"
  std::string testparm;   // Testparm, "testparm"
  int64_t maxAgeMs;       // MaxAgeMs, 500: how old a session-list snapshot may be
  int64_t retainMs;       // RetainMs, 500: how long a session that left the list still matches
};
SambaSettings ReadSambaSettings(const char* iniPath);

// now: seconds since 1970 that session times count to; a negative value takes
// the report's own "timestamp" (for reports read back from a file). False
// when the text is not such a report.
bool ParseSambaStatus(const std::string& text, int64_t now, std::vector<ServerSession>* sessions,
                      std::vector<ServerOpenFile>* files);

}  // namespace nbl
