// Buffered writing of records to a byte channel.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "record_io/byte_channel.hpp"

namespace record_io {

// Collects whole records and hands them to the channel when the buffer fills, at flush(),
// or at once for an interactive channel (a console sees each record as it ends).
class TextWriter {
 public:
  explicit TextWriter(ByteChannel& channel);

  // Appends the record and a line feed; false with errno set when a write fails.
  bool put(std::string_view record) {
    std::size_t need = record.size() + 1;
    if (used_ + need > buffer_.size() || interactive_) return put_slowly(record);
    std::memcpy(buffer_.data() + used_, record.data(), record.size());
    used_ += need;
    buffer_[used_ - 1] = '\n';
    return true;
  }
  // Hands everything buffered to the channel; false with errno set when that fails.
  bool flush();
  bool pending() const { return used_ > 0; }

 private:
  bool put_slowly(std::string_view record);

  ByteChannel& channel_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool interactive_;
};

}  // namespace record_io
