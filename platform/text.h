// UTF-16 text helpers. Records keep their texts as fixed arrays of UTF-16 units
// with a terminator (the layout the SMB2 wire uses), on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nbl {

using U16 = char16_t;

// Length of a terminated UTF-16 text, never reading past cap units.
inline size_t U16Len(const U16* s, size_t cap = SIZE_MAX) {
  size_t n = 0;
  while (n < cap && s[n] != 0) ++n;
  return n;
}

// Copies at most cap-1 units and always terminates; returns the units copied.
inline size_t U16Copy(U16* dst, size_t cap, std::u16string_view src) {
  if (cap == 0) return 0;
  size_t n = src.size() < cap - 1 ? src.size() : cap - 1;
  for (size_t i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = 0;
  return n;
}

// Appends within the capacity of dst (which holds a terminated text).
inline size_t U16Append(U16* dst, size_t cap, std::u16string_view src) {
  size_t have = U16Len(dst, cap);
  if (have >= cap) return 0;
  return U16Copy(dst + have, cap - have, src);
}

inline std::u16string_view U16View(const U16* s, size_t cap = SIZE_MAX) {
  return std::u16string_view(s, U16Len(s, cap));
}

// ASCII-only widening; for literal-like texts (digits, addresses, names).
inline std::u16string AsciiToU16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char c : s) out.push_back(static_cast<U16>(static_cast<unsigned char>(c)));
  return out;
}

// Replaces every control character (below 0x20, and 0x7F) by '?', so that a
// name taken from the network or the server cannot break a CSV row in two.
inline void U16ReplaceControls(U16* s, size_t cap) {
  for (size_t i = 0; i < cap && s[i] != 0; ++i)
    if (s[i] < 0x20 || s[i] == 0x7F) s[i] = u'?';
}

}  // namespace nbl
