#include "capture/fileaccess/request.h"

#include "capture/frame/nimbrel.h"

namespace nbl {

void HandleFileRequest(Nimbrel& /*app*/, const Smb2Message& /*msg*/, int32_t /*sessionIndex*/) {}

}  // namespace nbl
