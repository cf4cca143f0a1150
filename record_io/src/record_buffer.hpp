// The record a write statement is building.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace record_io {

// Characters of one record, appended without being cleared first; the storage is kept
// from statement to statement, so building a record allocates nothing once it has grown.
class RecordBuffer {
 public:
  void clear() { size_ = 0; }
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_.data(), size_}; }
  // Drops the characters after the first n.
  void truncate(std::size_t n) { size_ = n < size_ ? n : size_; }

  // n more characters at the end, for the caller to fill.
  char* extend(std::size_t n) {
    if (size_ + n > data_.size()) data_.resize(std::max(2 * data_.size(), size_ + n));
    char* p = data_.data() + size_;
    size_ += n;
    return p;
  }
  void append(std::string_view s) {
    if (!s.empty()) std::memcpy(extend(s.size()), s.data(), s.size());
  }
  void append(std::size_t n, char c) {
    if (n > 0) std::memset(extend(n), c, n);
  }

 private:
  std::vector<char> data_ = std::vector<char>(256);
  std::size_t size_ = 0;
};

}  // namespace record_io
