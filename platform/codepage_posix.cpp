#include <errno.h>
#include <iconv.h>

#include <bit>
#include <cstring>

#include "platform/codepage.h"

static_assert(std::endian::native == std::endian::little,
              "UTF-16 texts are handed to iconv as UTF-16LE");

namespace nbl {
namespace {

const char* NarrowName(Encoding enc) {
  return enc == Encoding::kCp932 ? "CP932" : "UTF-8";
}

bool IsHigh(U16 u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(U16 u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

Codec::Codec(Encoding enc) : enc_(enc) {
  iconv_t a = iconv_open(NarrowName(enc), "UTF-16LE");
  iconv_t b = iconv_open("UTF-16LE", NarrowName(enc));
  toNarrow_ = a == reinterpret_cast<iconv_t>(-1) ? nullptr : a;
  toWide_ = b == reinterpret_cast<iconv_t>(-1) ? nullptr : b;
}

Codec::~Codec() {
  if (toNarrow_) iconv_close(static_cast<iconv_t>(toNarrow_));
  if (toWide_) iconv_close(static_cast<iconv_t>(toWide_));
}

size_t Codec::Encode(std::u16string_view in, char* out, size_t cap, size_t* replaced,
                     bool* truncated) {
  if (replaced) *replaced = 0;
  if (truncated) *truncated = false;
  if (cap == 0) return 0;
  size_t room = cap - 1;
  char* dst = out;
  size_t i = 0;
  auto* cd = static_cast<iconv_t>(toNarrow_);
  if (cd) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (i < in.size()) {
    // Hand iconv the rest of the text; it stops at the first unit it cannot take.
    char* src = const_cast<char*>(reinterpret_cast<const char*>(in.data() + i));
    size_t srcLeft = (in.size() - i) * 2;
    size_t before = srcLeft;
    size_t rc = cd ? iconv(cd, &src, &srcLeft, &dst, &room) : static_cast<size_t>(-1);
    int err = cd ? errno : EILSEQ;
    i += (before - srcLeft) / 2;
    if (rc != static_cast<size_t>(-1)) break;
    if (err == E2BIG) {
      if (truncated) *truncated = true;
      break;
    }
    // EILSEQ or EINVAL: a character this encoding cannot hold, or a broken
    // surrogate. Write '?' for the whole character and go on.
    if (room == 0) {
      if (truncated) *truncated = true;
      break;
    }
    *dst++ = '?';
    --room;
    if (replaced) ++*replaced;
    i += (IsHigh(in[i]) && i + 1 < in.size() && IsLow(in[i + 1])) ? 2 : 1;
  }
  *dst = 0;
  return static_cast<size_t>(dst - out);
}

size_t Codec::Decode(std::string_view in, U16* out, size_t cap) {
  if (cap == 0) return 0;
  char* dst = reinterpret_cast<char*>(out);
  size_t room = (cap - 1) * 2;
  size_t i = 0;
  auto* cd = static_cast<iconv_t>(toWide_);
  if (cd) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (i < in.size()) {
    char* src = const_cast<char*>(in.data() + i);
    size_t srcLeft = in.size() - i;
    size_t before = srcLeft;
    size_t rc = cd ? iconv(cd, &src, &srcLeft, &dst, &room) : static_cast<size_t>(-1);
    int err = cd ? errno : EILSEQ;
    i += before - srcLeft;
    if (rc != static_cast<size_t>(-1) || err == E2BIG || room < 2) break;
    U16 q = u'?';
    std::memcpy(dst, &q, 2);
    dst += 2;
    room -= 2;
    ++i;
  }
  size_t units = static_cast<size_t>(dst - reinterpret_cast<char*>(out)) / 2;
  out[units] = 0;
  return units;
}

}  // namespace nbl
