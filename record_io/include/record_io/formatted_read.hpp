// Formatted input statements: fields in fixed columns under a format text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "record_io/format.hpp"
#include "record_io/runtime.hpp"
#include "record_io/text_reader.hpp"

namespace record_io {

class Unit;

// The most characters a text as long as its line keeps, but for the one that shows that
// the line goes on (see FormattedRead::text): the longest name a file can be opened by.
inline constexpr std::size_t long_text_limit = max_name_length;

// One formatted read statement: reads a record (line), its fields in the columns the
// format gives, and another each time the format starts again; the rest of the last line
// is discarded with its line feed.
//
// Field rules: blanks inside number fields are ignored; a line end ends a field early with
// what was read so far, and every later field of the record reads as blanks (zero); a
// comma ends a number field early and is consumed; the input ending inside a field is an
// end of file ("fmt"); a character that does not belong in a number is error 115 ("fmt").
//
//   FormattedRead(io, 11, header).integer(nt).real(dt).end();
class FormattedRead {
 public:
  FormattedRead(Runtime& io, int unit, const Format& format);
  // A text variable of fixed length: an Aw field wider than the variable keeps its
  // rightmost characters; a narrower one is padded with blanks.
  FormattedRead& text(char* variable, std::size_t length);
  // A text variable as long as the line: the field (at least w columns, padded with
  // blanks) and every further character up to the line end. At most long_text_limit
  // characters are kept; when the line goes on past them with more than blanks, the first
  // character that is not a blank is kept too, so that the text is longer than the limit
  // (and an open on it refuses the name as too long rather than opening another file).
  FormattedRead& text(std::string& variable);
  FormattedRead& integer(std::int32_t& variable);
  FormattedRead& real(float& variable);
  void end();

 private:
  const detail::Edit& next_data_edit();
  // Moves on to the next piece of a line longer than the reader's buffer; false when the
  // current view ends the line (or the input).
  bool next_piece();
  // Takes the next `width` characters of the line, fewer when it ends first, handing each
  // run of them to place(column, chars, n); returns how many it took. The input ending
  // (no line feed) before `width` is fatal.
  template <class Place>
  std::size_t take_field(std::size_t width, Place place);
  // Applies the pending column skip, up to the line's end at most; the input ending there
  // (no line feed) is fatal.
  void skip_columns();
  // The next character of the current field, or -1 at the line end. The input ending
  // (no line feed) is fatal.
  int next_char();
  [[noreturn]] void input_ended();

  RuntimeCore& io_;
  Unit& unit_;
  detail::FormatCursor cursor_;
  TextReader& reader_;
  TextReader::Line line_;
  const char* pos_;
  std::size_t skip_ = 0;  // columns to skip before the next field
};

}  // namespace record_io
