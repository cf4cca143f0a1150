#include "record_io/text_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace record_io {

TextReader::TextReader(ByteChannel& channel)
    : channel_(channel),
      capacity_(std::max(channel.buffer_size(), transfer_size)),
      // Room for the storage's first aligned address and for the buffer to start up to
      // read_alignment - 1 bytes after it.
      storage_(new char[capacity_ + lookahead + 2 * read_alignment]) {
  const auto start = reinterpret_cast<std::uintptr_t>(storage_.get());
  aligned_ = storage_.get() + (-start & (read_alignment - 1));
  base_ = aligned_;
  std::memset(base_, 0, lookahead);
}

TextReader::Line TextReader::line() {
  scanned_ = std::max(scanned_, pos_);
  for (;;) {
    char* base = base_;
    if (auto* lf = static_cast<char*>(std::memchr(base + scanned_, '\n', end_ - scanned_))) {
      scanned_ = static_cast<std::size_t>(lf - base);
      char* stop = lf;
      if (stop > base + pos_ && stop[-1] == '\r') --stop;
      return {base + pos_, stop, true, false};
    }
    scanned_ = end_;
    if (at_end_) return {base + pos_, base + end_, false, false};
    if (pos_ == 0 && end_ == capacity_) {
      // A line longer than the buffer: this piece of it. A carriage return at its end may
      // begin the line end, so it waits for the next piece.
      char* stop = base + end_;
      if (stop[-1] == '\r') --stop;
      return {base, stop, false, true};
    }
    fill();
  }
}

bool TextReader::skip_line() {
  for (;;) {
    char* base = base_;
    std::size_t from = std::max(scanned_, pos_);
    if (auto* lf = static_cast<char*>(std::memchr(base + from, '\n', end_ - from))) {
      pos_ = scanned_ = static_cast<std::size_t>(lf - base) + 1;
      return true;
    }
    pos_ = end_ = scanned_ = complete_end_ = 0;
    if (at_end_) return false;
    fill();
  }
}

void TextReader::fill() {
  if (pos_ > 0 || end_ == 0) {
    // The bytes kept go to the start of the buffer, which starts where they end at a
    // multiple of read_alignment, so that the read begins there.
    const std::size_t kept = end_ - pos_;
    char* base = aligned_ + (-kept & (read_alignment - 1));
    std::memmove(base, base_ + pos_, kept);
    base_ = base;
    end_ = kept;
    scanned_ -= pos_;
    complete_end_ = complete_end_ > pos_ ? complete_end_ - pos_ : 0;
    pos_ = 0;
    std::memset(base_ + end_, 0, lookahead);  // in case nothing is read
  }
  long n = channel_.read(base_ + end_, std::min(capacity_ - end_, read_size));
  if (n > 0) {
    std::size_t from = end_;
    end_ += static_cast<std::size_t>(n);
    std::memset(base_ + end_, 0, lookahead);
    // The last line feed among the new bytes, sought from their end: lines are short.
    for (std::size_t i = end_; i > from; --i) {
      if (base_[i - 1] == '\n') {
        complete_end_ = i;
        break;
      }
    }
  } else {
    at_end_ = true;
    if (n < 0) error_ = errno;
  }
}

}  // namespace record_io
