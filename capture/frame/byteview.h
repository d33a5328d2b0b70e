// The one bounded view through which captured bytes are read. Every read is
// checked against the captured length; a read that does not fit gives no
// value, never a byte beyond the capture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/text.h"

namespace nbl {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  size_t size() const { return size_; }
  // True when [off, off + n) lies within the captured bytes.
  bool Has(size_t off, size_t n) const { return off <= size_ && n <= size_ - off; }

  std::optional<uint8_t> U8(size_t off) const {
    if (!Has(off, 1)) return std::nullopt;
    return data_[off];
  }
  std::optional<uint16_t> BE16(size_t off) const {
    if (!Has(off, 2)) return std::nullopt;
    return static_cast<uint16_t>(data_[off] << 8 | data_[off + 1]);
  }
  std::optional<uint16_t> LE16(size_t off) const {
    if (!Has(off, 2)) return std::nullopt;
    return static_cast<uint16_t>(data_[off] | data_[off + 1] << 8);
  }
  std::optional<uint32_t> LE32(size_t off) const {
    if (!Has(off, 4)) return std::nullopt;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | data_[off + static_cast<size_t>(i)];
    return v;
  }
  std::optional<uint64_t> LE64(size_t off) const {
    if (!Has(off, 8)) return std::nullopt;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | data_[off + static_cast<size_t>(i)];
    return v;
  }
  // True when the bytes at off equal the n bytes of want.
  bool Equals(size_t off, const uint8_t* want, size_t n) const {
    if (!Has(off, n)) return false;
    for (size_t i = 0; i < n; ++i)
      if (data_[off + i] != want[i]) return false;
    return true;
  }

  // Copies UTF-16LE text of nbytes bytes from off into out (cap units with the
  // terminator), stopping at the end of the captured bytes and at cap - 1
  // units, whichever comes first. Returns the units copied.
  size_t CopyUtf16(size_t off, size_t nbytes, U16* out, size_t cap) const {
    if (cap == 0) return 0;
    size_t avail = off <= size_ ? size_ - off : 0;
    size_t bytes = nbytes < avail ? nbytes : avail;
    size_t units = bytes / 2;
    if (units > cap - 1) units = cap - 1;
    for (size_t i = 0; i < units; ++i)
      out[i] = static_cast<U16>(data_[off + 2 * i] | data_[off + 2 * i + 1] << 8);
    out[units] = 0;
    return units;
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace nbl
