// Replaying a capture file through the capture pipeline.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "capture/frame/nimbrel.h"

namespace nbl {

struct ReplayOptions {
  std::string folder;    // plays the program's folder: settings and logs
  std::string capture;   // the capture file
  std::string sessions;  // session list file; empty: the live Samba server
  bool haveServer = false;
  uint8_t server[4] = {0, 0, 0, 0};
};

// The file server as a sessions file recorded it: a report of 'smbstatus
// --json', or lines "address,user[,seconds since set-up[,idle seconds[,client
// type]]]". False, with the reason, when the file cannot be used.
bool LoadRecordedServer(const std::string& path, std::unique_ptr<FileServer>* server,
                        std::string* why);

// The address of the side that uses TCP port 445 in the first frame that has it.
bool InferServerAddress(const char* capture, uint8_t out[4]);

// Runs the pipeline; returns the program's exit code, or 2 with *why set when
// the replay could not start. A test may set up `app` (console, clock) first.
int Replay(const ReplayOptions& options, Nimbrel& app, std::string* why);

}  // namespace nbl
