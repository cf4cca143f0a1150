// Formatted input statements: fields in fixed columns under a format text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "record_io/format.hpp"
#include "record_io/runtime.hpp"

namespace record_io {

// One formatted read statement: reads one record (line), its fields in the columns the
// format gives, and discards the rest of the line with its line feed.
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
  // blanks) and every further character up to the line end.
  FormattedRead& text(std::string& variable);
  FormattedRead& integer(std::int32_t& variable);
  FormattedRead& real(float& variable);
  void end();

 private:
  const Edit& next_data_edit();
  // Applies the pending column skip; false when the line ended first.
  void skip_columns();
  // The next character of the current field, or -1 at the line end. The input ending
  // (no line feed) is fatal.
  int next_char();
  [[noreturn]] void input_ended();

  Runtime& io_;
  Unit& unit_;
  FormatCursor cursor_;
  TextReader& reader_;
  TextReader::Line line_;
  const char* pos_;
  std::size_t skip_ = 0;  // columns to skip before the next field
};

}  // namespace record_io
