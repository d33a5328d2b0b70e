// The capture: its start (settings dump, access log, tables) and the loop that
// reads one frame at a time, decodes Ethernet, IPv4 and TCP, tells requests
// from responses and hands SMB2 messages on.
#pragma once

#include <cstdint>

#include "capture/frame/framevalues.h"
#include "platform/capture.h"

namespace nbl {

struct Nimbrel;

// Capture start, then the loop; returns the exit code.
int StartCapture(Nimbrel& app, FrameSource& source);

// The loop alone: reads until the source reports an error (-1) or its end.
int CaptureLoop(Nimbrel& app, FrameSource& source);

// One frame through the loop head and on to the side its direction picks.
void HandleFrame(Nimbrel& app, const FrameHeader& header, const uint8_t* data);

// Forms "%Y%m%d %H:%M:%S" of the capture time in local time.
void FormTimeText(FrameValues& fv);

}  // namespace nbl
