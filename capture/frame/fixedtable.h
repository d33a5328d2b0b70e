// A table of fixed-size records sized from the settings: allocated once,
// zero-filled without touching every page (calloc), never grown.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace nbl {

template <class T>
class FixedTable {
 public:
  FixedTable() = default;
  ~FixedTable() { std::free(data_); }
  FixedTable(const FixedTable&) = delete;
  FixedTable& operator=(const FixedTable&) = delete;

  // False for a count below 1 or a table that does not fit in memory.
  bool Allocate(int32_t count) {
    if (count < 1) return false;
    void* p = std::calloc(static_cast<size_t>(count), sizeof(T));  // calloc checks the product
    if (p == nullptr) return false;
    std::free(data_);
    data_ = static_cast<T*>(p);
    count_ = count;
    return true;
  }
  T* data() { return data_; }
  const T* data() const { return data_; }
  int32_t count() const { return count_; }
  T& operator[](int32_t i) { return data_[i]; }
  const T& operator[](int32_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  int32_t count_ = 0;
};

}  // namespace nbl
