// The conveniences both platforms share, on top of the buffer conversions.
#include "platform/codepage.h"

namespace nbl {

std::string Codec::Encode(std::u16string_view in, size_t* replaced) {
  std::string s(in.size() * 4 + 1, '\0');
  size_t n = Encode(in, s.data(), s.size(), replaced);
  s.resize(n);
  return s;
}

std::u16string Codec::Decode(std::string_view in) {
  std::u16string s(in.size() + 1, u'\0');
  size_t n = Decode(in, s.data(), s.size());
  s.resize(n);
  return s;
}

std::u16string SystemToWide(std::string_view in) {
  return Codec(Encoding::kSystem).Decode(in);
}
std::string WideToSystem(std::u16string_view in) {
  return Codec(Encoding::kSystem).Encode(in);
}

}  // namespace nbl
