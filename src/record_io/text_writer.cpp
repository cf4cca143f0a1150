#include "record_io/text_writer.hpp"

#include <algorithm>
#include <cstring>

namespace record_io {

TextWriter::TextWriter(ByteChannel& channel)
    : channel_(channel),
      buffer_(std::max<std::size_t>(channel.buffer_size(), 256)),
      interactive_(channel.interactive()),
      crlf_(channel.line_end() == "\r\n") {}

bool TextWriter::put_slowly(std::string_view record) {
  std::size_t need = record.size() + 2;
  if (used_ + need > buffer_.size()) {
    if (!flush()) return false;
    if (need > buffer_.size()) buffer_.resize(need);
  }
  std::memcpy(buffer_.data() + used_, record.data(), record.size());
  commit(record.size());
  return !interactive_ || flush();
}

bool TextWriter::flush() {
  if (used_ == 0) return true;
  std::size_t n = used_;
  used_ = 0;
  return channel_.write(buffer_.data(), n);
}

}  // namespace record_io
