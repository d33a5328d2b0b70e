// The one formatter for console lines, log lines and access-log rows.
//
// Templates are kept exactly as the program's messages are written, in the
// Microsoft printf dialect: in a wide template %s is a wide text and %hs a
// narrow one; in a narrow template %s is narrow. Integer lengths follow that
// dialect too (%d and %ld are 32 bits, %I32u 32 bits, %I64u and %llu 64 bits).
// Output never exceeds the capacity; a mismatched argument prints "(?)" and
// never reads memory it was not given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/text.h"

namespace nbl {

class FmtArg {
 public:
  enum class Kind { kInt, kWide, kNarrow };

  template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
  FmtArg(T v)  // NOLINT: implicit on purpose, arguments read like printf's
      : kind_(Kind::kInt), bits_(static_cast<uint64_t>(v)), signed_(std::is_signed_v<T>) {}
  FmtArg(const U16* s) : kind_(Kind::kWide), wide_(s ? s : u"(null)") {}      // NOLINT
  FmtArg(const std::u16string& s) : kind_(Kind::kWide), wide_(s) {}           // NOLINT
  FmtArg(std::u16string_view s) : kind_(Kind::kWide), wide_(s) {}             // NOLINT
  FmtArg(const char* s) : kind_(Kind::kNarrow), narrow_(s ? s : "(null)") {}  // NOLINT
  FmtArg(const std::string& s) : kind_(Kind::kNarrow), narrow_(s) {}          // NOLINT

  Kind kind() const { return kind_; }
  uint64_t bits() const { return bits_; }
  bool is_signed() const { return signed_; }
  std::u16string_view wide() const { return wide_; }
  std::string_view narrow() const { return narrow_; }

 private:
  Kind kind_;
  uint64_t bits_ = 0;
  bool signed_ = false;
  std::u16string_view wide_;
  std::string_view narrow_;
};

struct FmtResult {
  size_t length = 0;       // units written, without the terminator
  bool truncated = false;  // the text did not fit and was cut
};

// Formats into buf (capacity cap units including the terminator). When the
// text is cut and the template ends with a line end ("\n" or "\r\n"), the cut
// text still ends with that line end, so that a long line never swallows the
// next one.
FmtResult FormatWide(U16* buf, size_t cap, std::u16string_view fmt,
                     std::initializer_list<FmtArg> args);
FmtResult FormatNarrow(char* buf, size_t cap, std::string_view fmt,
                       std::initializer_list<FmtArg> args);

// Formats into a growing string; for texts with no fixed buffer (tests, tools).
std::u16string FormatToString(std::u16string_view fmt, std::initializer_list<FmtArg> args);

}  // namespace nbl
