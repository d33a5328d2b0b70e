// The kind of an access, decided from the file's state on disk a moment after
// the request: the status codes and their words, FileNotifyInfo, and the
// attribute text of the Attributes column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace nbl {

struct Nimbrel;

enum AccessStatus : int32_t {
  kStatusNotFind = 0,
  kStatusWrite = 1,
  kStatusView = 2,
  kStatusNew = 3,
  kStatusDelete = 4,
  kStatusOpen = 5,
  kStatusRename = 6,
};

inline constexpr size_t kAttrTextCap = 64;

// The word of the Access Status column ("NotFind" for an unknown code).
const char16_t* StatusWord(int32_t status);

struct FileNotifyResult {
  int32_t status = kStatusDelete;
  uint32_t attributes = 0;
};

// Classifies the access from the file's attributes and times against the
// request's capture second in_time (status 0 to 4).
FileNotifyResult FileNotifyInfo(Nimbrel& app, std::u16string_view fullPath, int64_t in_time);

// The codes of the attribute bits, in the table's order, joined by '|'.
void FileAttributesStatusDataSum(uint32_t attributes, U16 out[kAttrTextCap]);

}  // namespace nbl
