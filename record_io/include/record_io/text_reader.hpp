// Text-mode reading of a byte channel, a line at a time.
#pragma once

#include <cstddef>
#include <memory>

#include "record_io/byte_channel.hpp"

namespace record_io {

// Reads records (lines) from a channel in text mode: a carriage return directly before a
// line feed belongs to the line end; any other carriage return is an ordinary character.
// The buffer has a fixed size: a line longer than it is given in pieces, so that memory
// never grows with the length of a line.
class TextReader {
 public:
  // The buffer's size at least (more when the channel suggests more): the longest line
  // held whole.
  static constexpr std::size_t transfer_size = 256 * 1024;
  // What a read asks for at most. The lines taken are moved to the front of the buffer
  // before each read, so a file of short lines touches only the first read_size bytes of
  // the buffer.
  static constexpr std::size_t read_size = 64 * 1024;
  // A read puts its bytes at an address that is a multiple of this: the system copies a
  // read to an address a few bytes past one several times more slowly (on some
  // processors).
  static constexpr std::size_t read_alignment = 64;

  explicit TextReader(ByteChannel& channel);

  // The rest of the current line from the read position, without its line end, or the
  // next piece of a line longer than the buffer.
  struct Line {
    const char* begin;
    const char* end;
    bool terminated;  // a line feed ends it
    // The line goes on after `end` (a piece of a long line): consume_to(end), or to any
    // point in the piece, then line() again gives what follows. With neither flag the
    // input ends (or failed) at `end`.
    bool more;
  };

  // Buffers the rest of the current line, or as much of it as the buffer holds (a piece,
  // which starts at the beginning of the buffer and fills it but for a carriage return
  // kept back for the next piece). The view stays valid until the next call of line() or
  // skip_line().
  Line line();

  // The next piece of a line longer than the buffer, when `piece` (from line()) says more
  // follows: piece becomes it, and true; false, and nothing read, when it ends its line.
  bool next_piece(Line& piece) {
    if (!piece.more) return false;
    consume_to(piece.end);
    piece = line();
    return true;
  }

  // Moves the read position to p, which lies within the view line() or whole_lines()
  // returned last, or at its end.
  void consume_to(const char* p) { pos_ = static_cast<std::size_t>(p - base_); }
  // Discards the rest of the current line with its line feed; false when the input ended
  // (or failed) before a line feed.
  bool skip_line();
  // errno of a failed read, 0 when the input simply ended.
  int error() const { return error_; }

 private:
  // The layer's own: its list-directed statements read whole lines straight from the
  // buffer, and its runtime moves the channel back over what was read ahead.
  friend class ListRead;
  friend class RuntimeCore;

  // Bytes that can always be read past the end of a view (line() or whole_lines()): what
  // they hold is unspecified, but reading them is safe, so a scanner may look ahead a word
  // at a time and decide afterwards how much of it counts.
  static constexpr std::size_t lookahead = 32;

  // The whole lines already buffered from the read position: [begin, end) ends just after
  // a line feed, or is empty when the current line is not buffered whole (line() then
  // reads on). Never reads; valid until the next call of line() or skip_line().
  struct Lines {
    const char* begin;
    const char* end;
  };
  Lines whole_lines() const {
    return {base_ + pos_, base_ + (complete_end_ > pos_ ? complete_end_ : pos_)};
  }
  // Bytes read ahead of the read position.
  std::size_t read_ahead() const { return end_ - pos_; }
  // Forgets the bytes read ahead (after the channel has been moved back over them).
  void drop_read_ahead() { pos_ = end_ = scanned_ = complete_end_ = 0; }

  void fill();

  ByteChannel& channel_;
  // The storage, and in it the buffer: capacity_ bytes from base_, then the look-ahead
  // bytes; the look-ahead bytes after end_ are kept defined (zeros or earlier input). The
  // buffer starts fewer than read_alignment bytes into the aligned storage, so that the
  // bytes kept at a read, moved to its start, end where the read begins. The storage is
  // not cleared first: its pages are touched as they fill.
  std::size_t capacity_;
  std::unique_ptr<char[]> storage_;
  char* aligned_;                 // the storage's first multiple of read_alignment
  char* base_;                    // the buffer, within read_alignment bytes after aligned_
  std::size_t pos_ = 0;           // read position
  std::size_t end_ = 0;           // end of the bytes read
  std::size_t scanned_ = 0;       // [pos_, scanned_) holds no line feed
  std::size_t complete_end_ = 0;  // just after the last line feed in [0, end_), or 0
  bool at_end_ = false;           // the channel has nothing more
  int error_ = 0;
};

}  // namespace record_io
