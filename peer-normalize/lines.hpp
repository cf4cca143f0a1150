// The lines of a record, read in pieces so that memory does not grow with a line's length.
#pragma once

#include <cstdint>
#include <string_view>

#include "record_io/byte_channel.hpp"
#include "record_io/text_reader.hpp"

namespace normalize {

using Piece = record_io::TextReader::Line;

inline std::string_view text_of(const Piece& piece) {
  return {piece.begin, static_cast<std::size_t>(piece.end - piece.begin)};
}

// The text without the carriage returns at its end.
inline std::string_view without_carriage_returns(std::string_view text) {
  while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// The lines of a channel, each without its line end, in pieces: a line longer than the
// reader's buffer comes a buffer at a time, any other in one piece.
class Lines {
 public:
  explicit Lines(record_io::ByteChannel& in) : reader_(in) {}

  // Starts the next line, the rest of the current one left unread; false at the end of
  // the input, or when reading failed (error()).
  bool next() {
    if (started_ && !reader_.skip_line()) return false;
    started_ = true;
    piece_ = reader_.line();
    if (!piece_.terminated && !piece_.more && piece_.begin == piece_.end) return false;
    ++number_;
    offset_ = 0;
    return true;
  }
  // The current piece of the line; more: the line goes on after it. The view is valid
  // until the next call of next() or advance().
  const Piece& piece() const { return piece_; }
  // Moves on to the rest of the line from p, within the current piece (a value cut by the
  // piece's end is then read whole); false when the current piece ends the line.
  bool advance(const char* p) {
    if (!piece_.more) return false;
    offset_ += static_cast<std::uint64_t>(p - piece_.begin);
    reader_.consume_to(p);
    piece_ = reader_.line();
    return true;
  }
  // The characters of the line before the current piece.
  std::uint64_t offset() const { return offset_; }
  // The number of the current line; 0 before the first.
  long number() const { return number_; }
  int error() const { return reader_.error(); }

 private:
  record_io::TextReader reader_;
  Piece piece_{};
  bool started_ = false;
  long number_ = 0;
  std::uint64_t offset_ = 0;
};

}  // namespace normalize
