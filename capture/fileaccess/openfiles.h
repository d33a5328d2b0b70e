// Turning a tree connection into the share's local folder with the server's
// list of open files.
#pragma once

#include <cstdint>
#include <string>

#include "platform/text.h"

namespace nbl {

struct Nimbrel;

// Refills the open-file table from the server's list; returns the records
// filled (at most SmbOpenFileCnt - 1; paths beginning with a backslash, the
// named pipes, are left out).
int32_t NBL_SMB_OpenFileGet_WinApi(Nimbrel& app);

// 1 with *result 2 for a folder or 1 for a file; 0 with *result 0 when the
// path is null or names nothing.
int NBL_CheckExistFileOrFolder(Nimbrel& app, const U16* path, int* result);

// The three places the request handling runs the correlation from; they
// differ only in what they trace.
enum class CorrelationPoint { kInUseEntry, kFreeEntry, kNetworkPath };

// For each open file of the client, in table order: its local root (the path
// cut at the file's name under the share) followed by the request name; the
// first that exists becomes the entry's SharePath. Returns how many open files
// were the client's.
int32_t CorrelateSharePath(Nimbrel& app, int32_t entryIndex, const U16* clientIp,
                           const U16* sBuffer, CorrelationPoint point);

// SharePath followed by the request name; after a local root of this system
// the name's backslashes become the system's separator.
std::u16string JoinSharePath(Nimbrel& app, std::u16string_view root, std::u16string_view name);

}  // namespace nbl
