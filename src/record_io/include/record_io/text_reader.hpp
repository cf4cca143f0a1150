// Text-mode reading of a byte channel, a line at a time.
#pragma once

#include <cstddef>
#include <vector>

#include "record_io/byte_channel.hpp"

namespace record_io {

// Reads records (lines) from a channel in text mode: a carriage return directly before a
// line feed belongs to the line end; any other carriage return is an ordinary character.
class TextReader {
 public:
  explicit TextReader(ByteChannel& channel);

  // The rest of the current line from the read position, without its line end.
  struct Line {
    const char* begin;
    const char* end;
    bool terminated;  // a line feed ends it; false: the input ends (or failed) at `end`
  };

  // Buffers the rest of the current line whole. The view stays valid until the next call
  // of line() or skip_line().
  Line line();
  // Moves the read position to p, which lies within the view line() returned last.
  void consume_to(const char* p) { pos_ = static_cast<std::size_t>(p - buffer_.data()); }
  // Discards the rest of the current line with its line feed; false when the input ended
  // (or failed) before a line feed.
  bool skip_line();
  // errno of a failed read, 0 when the input simply ended.
  int error() const { return error_; }
  // Bytes read ahead of the read position.
  std::size_t read_ahead() const { return end_ - pos_; }
  // Forgets the bytes read ahead (after the channel has been moved back over them).
  void drop_read_ahead() { pos_ = end_ = scanned_ = 0; }

 private:
  void fill();

  ByteChannel& channel_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;      // read position
  std::size_t end_ = 0;      // end of the bytes read
  std::size_t scanned_ = 0;  // [pos_, scanned_) holds no line feed
  bool at_end_ = false;      // the channel has nothing more
  int error_ = 0;
};

}  // namespace record_io
