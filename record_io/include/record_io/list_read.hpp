// List-directed input statements: real values in free form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "record_io/runtime.hpp"
#include "record_io/text_reader.hpp"

namespace record_io {

class Unit;

// What scan_list_item found at the start of an item.
struct ListScan {
  enum Kind : std::uint8_t {
    number,           // a value: `value`
    null,             // a lone sign or point directly before a comma or slash
    repeated_number,  // r*c: `count` times `value`
    repeated_null,    // r* before a blank, tab, line end, comma or slash: `count` nulls
    invalid_number,
    bad_exponent,
    bad_repetition_count,
  };
  Kind kind;
  float value;
  std::uint64_t count;  // saturates far above any statement's length
  const char* next;     // where the scan stopped: the first character not taken
};

// Scans the item starting at p, which is not a blank, tab, comma or slash, in the line
// [p, end). line_end: a line feed follows `end` (otherwise the input ends there).
//
// A value is [sign] digits [. [digits]] or [sign] . digits, then optionally an exponent:
// e, E, d or D with an optional sign, or a bare sign, then digits (at most 99999999). A
// value ends at the first character that cannot continue it. A repetition count is a
// non-zero unsigned number (a plus sign allowed, at most 40 significant digits) before *.
ListScan scan_list_item(const char* p, const char* end, bool line_end);

// One list-directed read statement of single-precision reals. Values may span lines;
// blanks, tabs and line ends separate them, a comma gives a null value (the element keeps
// its value), a slash ends the statement, r*c repeats a value. When the statement ends,
// the rest of its last line is discarded with the line feed.
//
//   ListRead(io, 11).reals(&x[i], 5).end();
class ListRead {
 public:
  ListRead(Runtime& io, int unit)
      : ListRead(io.quick_.read_unit == unit
                     ? Start{&io.core(), io.quick_.connection, io.quick_.reader}
                     : start(io, unit)) {}
  // Reads up to n values into v[0..n): fewer when a slash ended the statement.
  ListRead& reals(float* v, std::size_t n) {
    std::size_t k = limit_ ? plain_values(v, n) : 0;
    if (k != n) reals_by_lines(v, n, k);
    return *this;
  }
  void end() {
    // Usually the statement stopped at the line feed of its line, in whole lines.
    if (limit_ && *pos_ == '\n') {
      reader_.consume_to(pos_ + 1);
      return;
    }
    end_line();
  }

 private:
  struct Start {
    RuntimeCore* io;
    Unit* unit;
    TextReader* reader;
  };
  // Usually a statement on the unit of the one before: it reads on at once (see
  // detail::QuickStatement); otherwise it begins in full.
  explicit ListRead(const Start& s) : io_(*s.io), unit_(*s.unit), reader_(*s.reader) {
    TextReader::Lines lines = reader_.whole_lines();
    pos_ = lines.begin;
    limit_ = lines.end;
    if (pos_ == limit_) read_by_lines();
  }
  [[gnu::noinline]] static Start start(Runtime& io, int unit);
  // Reads values straight from the whole lines buffered, as long as the items are plain
  // values (no comma, slash or repetition, at most 15 digits, the exponent at most 9999)
  // and the lines last; returns how many it read, the next item left at pos_ (or, after
  // the n-th value, its separator: separator_pending_).
  std::size_t plain_values(float* v, std::size_t n);
  // From now on the statement reads a line at a time, from pos_.
  void read_by_lines();
  // reals() for v[k..n), a line at a time.
  void reals_by_lines(float* v, std::size_t n, std::size_t k);
  // end() anywhere in a line.
  void end_line();
  // After a value: blanks and tabs, then one comma, are skipped.
  void skip_separator();
  // Moves on to the next piece of a line longer than the reader's buffer; false when the
  // current view ends the line (or the input).
  bool next_piece();
  // scan_list_item at pos_, the item wholly in view even when it crosses the end of a
  // piece of a long line; an item longer than the reader's buffer is an invalid number.
  ListScan scan_whole_item();
  [[noreturn]] void input_ended();

  RuntimeCore& io_;
  Unit& unit_;
  TextReader& reader_;
  const char* pos_;
  // Reading from whole lines: their end, just after a line feed (nullptr: a line at a
  // time, in line_).
  const char* limit_;
  // pos_ is just after a value whose separator is still to be skipped.
  bool separator_pending_ = false;
  // A line at a time: set by read_by_lines().
  TextReader::Line line_;
  std::uint64_t repeat_left_;
  float repeat_value_;
  bool repeat_has_value_;
  bool slash_;
};

}  // namespace record_io
