#include <windows.h>

#include "platform/codepage.h"

namespace nbl {
namespace {

UINT CodePageOf(Encoding enc) {
  return enc == Encoding::kSystem ? CP_ACP : 932;
}

}  // namespace

Codec::Codec(Encoding enc) : enc_(enc) {}
Codec::~Codec() = default;

size_t Codec::Encode(std::u16string_view in, char* out, size_t cap, size_t* replaced,
                     bool* truncated) {
  if (replaced) *replaced = 0;
  if (truncated) *truncated = false;
  if (cap == 0) return 0;
  UINT cp = CodePageOf(enc_);
  size_t used = 0;
  // Character by character, so that each one the code page cannot hold is
  // replaced by '?' and counted.
  for (size_t i = 0; i < in.size();) {
    int units = (in[i] >= 0xD800 && in[i] <= 0xDBFF && i + 1 < in.size()) ? 2 : 1;
    char tmp[8];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWCH>(in.data() + i),
                                units, tmp, sizeof tmp, "?", &usedDefault);
    if (n <= 0 || usedDefault) {
      tmp[0] = '?';
      n = 1;
      if (replaced) ++*replaced;
    }
    if (used + static_cast<size_t>(n) > cap - 1) {
      if (truncated) *truncated = true;
      break;
    }
    for (int k = 0; k < n; ++k) out[used++] = tmp[k];
    i += static_cast<size_t>(units);
  }
  out[used] = 0;
  return used;
}

size_t Codec::Decode(std::string_view in, U16* out, size_t cap) {
  if (cap == 0) return 0;
  int n = in.empty()
              ? 0
              : MultiByteToWideChar(CodePageOf(enc_), 0, in.data(), static_cast<int>(in.size()),
                                    reinterpret_cast<LPWSTR>(out), static_cast<int>(cap - 1));
  if (n < 0) n = 0;
  out[n] = 0;
  return static_cast<size_t>(n);
}

}  // namespace nbl
