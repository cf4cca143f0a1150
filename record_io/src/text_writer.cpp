#include "record_io/text_writer.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "faults.hpp"

namespace record_io {

namespace {

char* new_buffer(std::size_t size) {
  if (platform::refused(platform::Call::allocate)) throw std::bad_alloc();
  return new char[size];
}

}  // namespace

TextWriter::TextWriter(ByteChannel& channel, bool hidden)
    : channel_(channel),
      capacity_(std::max(channel.buffer_size(), transfer_size)),
      buffer_(new_buffer(capacity_)),
      interactive_(channel.interactive()),
      crlf_(channel.line_end() == "\r\n"),
      hidden_(hidden && !interactive_) {}

bool TextWriter::make_room(std::size_t need) {
  const std::size_t pages = used_ / page_size * page_size;
  if (hidden_ && pages > 0 && used_ - pages + need <= capacity_) return hand_over(pages);
  return flush();
}

bool TextWriter::put_slowly(std::string_view record) {
  std::size_t need = record.size() + 2;
  if (used_ + need > capacity_) {
    if (!make_room(need)) return false;
    if (need > capacity_) {  // a record longer than the buffer
      buffer_.reset(new_buffer(need));
      capacity_ = need;
    }
  }
  if (!record.empty()) std::memcpy(buffer_.get() + used_, record.data(), record.size());
  commit(record.size());
  return !interactive_ || flush();
}

bool TextWriter::flush() {
  return used_ == 0 || hand_over(used_);
}

bool TextWriter::hand_over(std::size_t n) {
  flushing_ = 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::size_t done = channel_.write(buffer_.get(), n);
  bool ok = done == n;
  if (!ok) {
    // Only whole records count as written: the channel moves back over the beginning of a
    // record that got out without its end, so that a file cut here ends after a record.
    int error = errno;
    std::size_t whole = done;
    while (whole > 0 && buffer_[whole - 1] != '\n') --whole;
    if (whole < done) channel_.unread(done - whole);
    errno = error;
  }
  // The rest stays, at the buffer's start, whether the channel took the n bytes or not.
  std::memmove(buffer_.get(), buffer_.get() + n, used_ - n);
  used_ -= n;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  flushing_ = 0;
  return ok;
}

}  // namespace record_io
