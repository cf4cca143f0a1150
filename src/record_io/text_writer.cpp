#include "record_io/text_writer.hpp"

#include <algorithm>
#include <cstring>

namespace record_io {

TextWriter::TextWriter(ByteChannel& channel)
    : channel_(channel),
      capacity_(std::max(channel.buffer_size(), transfer_size)),
      buffer_(new char[capacity_]),
      interactive_(channel.interactive()),
      crlf_(channel.line_end() == "\r\n") {}

bool TextWriter::put_slowly(std::string_view record) {
  std::size_t need = record.size() + 2;
  if (used_ + need > capacity_) {
    if (!flush()) return false;
    if (need > capacity_) {  // a record longer than the buffer
      buffer_.reset(new char[need]);
      capacity_ = need;
    }
  }
  std::memcpy(buffer_.get() + used_, record.data(), record.size());
  commit(record.size());
  return !interactive_ || flush();
}

bool TextWriter::flush() {
  if (used_ == 0) return true;
  std::size_t n = used_;
  used_ = 0;
  return channel_.write(buffer_.get(), n);
}

}  // namespace record_io
