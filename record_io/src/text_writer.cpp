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
  if (!record.empty()) std::memcpy(buffer_.get() + used_, record.data(), record.size());
  commit(record.size());
  return !interactive_ || flush();
}

bool TextWriter::flush() {
  if (used_ == 0) return true;
  std::size_t n = used_;
  used_ = 0;
  std::size_t done = channel_.write(buffer_.get(), n);
  if (done == n) return true;
  // Only whole records count as written: the channel moves back over the beginning of a
  // record that got out without its end, so that a file cut here ends after a record.
  int error = errno;
  std::size_t whole = done;
  while (whole > 0 && buffer_[whole - 1] != '\n') --whole;
  if (whole < done) channel_.unread(done - whole);
  errno = error;
  return false;
}

}  // namespace record_io
