// Text encodings. The logs and the access log are written in code page 932;
// narrow texts (paths, settings) are in the system code page, which is UTF-8
// on POSIX and the ANSI code page on Windows; the console gets the encoding
// of the terminal (UTF-8 on POSIX, code page 932 on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace nbl {

enum class Encoding { kCp932, kSystem, kConsole };

// One conversion direction pair, opened once and reused (the hot path writes
// every row through it). Not copyable.
class Codec {
 public:
  explicit Codec(Encoding enc);
  ~Codec();
  Codec(const Codec&) = delete;
  Codec& operator=(const Codec&) = delete;

  // Encodes wide text into out (cap bytes, always terminated). A character
  // the encoding cannot hold, or a broken surrogate, becomes '?' and is
  // counted in *replaced. Returns the bytes written; *truncated is set when
  // out was too small for the whole text.
  size_t Encode(std::u16string_view in, char* out, size_t cap, size_t* replaced = nullptr,
                bool* truncated = nullptr);
  // Decodes into out (cap units, always terminated); undecodable bytes become '?'.
  size_t Decode(std::string_view in, U16* out, size_t cap);

  std::string Encode(std::u16string_view in, size_t* replaced = nullptr);
  std::u16string Decode(std::string_view in);

 private:
  Encoding enc_;
  void* toNarrow_ = nullptr;  // platform conversion state
  void* toWide_ = nullptr;
};

// One-off conversions for paths and settings (not for per-frame use).
std::u16string SystemToWide(std::string_view in);
std::string WideToSystem(std::u16string_view in);

}  // namespace nbl
