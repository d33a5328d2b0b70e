#include "capture/frame/tables.h"

#include <cstring>

#include "capture/frame/nimbrel.h"

namespace nbl {
namespace {

// A table that cannot be had ends the program: a count below 1 is refused
// with its setting named, a table too large for memory with the malloc line.
template <class Table>
bool Allocate(Nimbrel& app, Table& table, int32_t count, const char* setting,
              std::u16string_view mallocLine) {
  Diag& diag = app.diag;
  if (count < 1) {
    diag.ToBoth(u"[%hs][%d][Err]: %hs=%d : every table needs at least one entry\n", kMainFunc,
                __LINE__, setting, count);
    diag.Con(u"ERROR : %hs=%d : every table needs at least one entry\n", setting, count);
    return false;
  }
  if (table.Allocate(count)) return true;
  diag.ToBoth(mallocLine, kMainFunc, __LINE__);
  diag.Con(mallocLine, kMainFunc, __LINE__);
  diag.Con(u"ERROR : %hs=%d : not enough memory for the table\n", setting, count);
  return false;
}

}  // namespace

std::optional<int> AllocateTables(Nimbrel& app) {
  const OptionInfo& o = app.options;
  if (!Allocate(app, app.sessions, o.SessionSetupCnt, "SessionSetupCnt",
                u"[%hs][%d][Err]: malloc Error (NBL_SmbSession_ST)\n") ||
      !Allocate(app, app.accessInfo, o.AccessDataCnt, "AccessDataCnt",
                u"[%hs][%d][Err]: malloc Error (NBL_AccessInfo_ST)\n") ||
      !Allocate(app, app.openFiles, o.SmbOpenFileCnt, "SmbOpenFileCnt",
                u"[%hs][%d][Err]: malloc Error (NBL_SmbOpenFile_ST)\n")) {
    app.diag.FlushConsole();
    return -1;
  }
  return std::nullopt;
}

}  // namespace nbl
