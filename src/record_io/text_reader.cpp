#include "record_io/text_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace record_io {

TextReader::TextReader(ByteChannel& channel)
    : channel_(channel), buffer_(std::max<std::size_t>(channel.buffer_size(), 256)) {}

TextReader::Line TextReader::line() {
  scanned_ = std::max(scanned_, pos_);
  for (;;) {
    char* base = buffer_.data();
    if (auto* lf = static_cast<char*>(std::memchr(base + scanned_, '\n', end_ - scanned_))) {
      scanned_ = static_cast<std::size_t>(lf - base);
      char* stop = lf;
      if (stop > base + pos_ && stop[-1] == '\r') --stop;
      return {base + pos_, stop, true};
    }
    scanned_ = end_;
    if (at_end_) return {base + pos_, base + end_, false};
    fill();
  }
}

bool TextReader::skip_line() {
  for (;;) {
    char* base = buffer_.data();
    std::size_t from = std::max(scanned_, pos_);
    if (auto* lf = static_cast<char*>(std::memchr(base + from, '\n', end_ - from))) {
      pos_ = scanned_ = static_cast<std::size_t>(lf - base) + 1;
      return true;
    }
    pos_ = end_ = scanned_ = 0;
    if (at_end_) return false;
    fill();
  }
}

void TextReader::fill() {
  if (pos_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    scanned_ -= pos_;
    pos_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  long n = channel_.read(buffer_.data() + end_, buffer_.size() - end_);
  if (n > 0) {
    end_ += static_cast<std::size_t>(n);
  } else {
    at_end_ = true;
    if (n < 0) error_ = errno;
  }
}

}  // namespace record_io
