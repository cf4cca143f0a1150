// The sample values of a record: each value's text, as the data lines write it, copied into
// lines of five.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "diagnostic.hpp"
#include "record_io/text_writer.hpp"
#include "resolution.hpp"

namespace normalize {

// Values are delimited as the merge's free-form reader delimits them: separated by blanks,
// tabs, line ends, or one comma after a value. A repetition r*c stands for r copies of c.
// Everything else is refused: text that is not a number, an empty value (a comma with no
// value before it), r* without a value, a slash.
//
// Each value is written right-aligned in 15 columns, or after one blank when its text
// fills them or is longer, five to a line; the merge reads back from every field the value
// its text reads as.
class SampleCopier {
 public:
  // points: how many values the header counts; out: where the lines of the first
  // min(points, limit) go (nullptr: the values are only checked and counted); factor: each
  // value is written as its single-precision value times the factor (see units.hpp), 0:
  // as its own text.
  SampleCopier(std::int64_t points, record_io::TextWriter* out, std::int64_t limit = -1,
               double factor = 0);

  // A data line begins: a comma may not open it.
  void start_line();
  // Takes the values of a piece of the data line `number`, given without its line end;
  // `offset`: the characters of the line before the piece. With `more` (the line goes on
  // after the piece, as one longer than the reader's buffer does) a value at the end of the
  // piece may go on too: it is left for the next piece, which must start with it; `taken`
  // tells how much of the piece was taken (all of it without `more`), and a piece that
  // holds no separator at all is refused, as a value longer than a piece. False when a
  // value is refused (problem()) or writing failed (write_error()).
  bool take(std::string_view piece, long number, std::uint64_t offset, bool more,
            std::size_t& taken);
  // From now on each value within the point count is counted in `r` as the merge would
  // read it.
  void measure(Resolution* r) { measured_ = r; }
  // Adds `count` zeros after the values written; false when writing failed.
  bool pad(std::uint64_t count);
  // Writes the last line when it holds fewer than five values; false when writing failed.
  bool finish();

  // Values taken so far, those beyond the point count included.
  std::uint64_t values() const { return values_; }
  // The line of the first value beyond the point count; 0 when there is none.
  long first_extra_line() const { return first_extra_line_; }
  const Diagnostic& problem() const { return problem_; }
  int write_error() const { return write_error_; }

 private:
  bool refuse(const char* begin, const char* at, const char* end, long number, std::uint64_t offset,
              std::string_view what);
  // Takes `copies` values written as `text`; false when writing failed.
  bool add(std::string_view text, std::uint64_t copies, long number);
  bool put_value(std::string_view text);
  bool put_line();

  std::uint64_t points_;
  record_io::TextWriter* out_;
  std::uint64_t limit_;
  double factor_;
  Resolution* measured_ = nullptr;
  std::uint64_t values_ = 0;
  std::uint64_t written_ = 0;  // values gone into lines
  int in_line_ = 0;            // values in line_
  bool after_value_ = false;   // a comma here separates, as it follows a value
  std::string line_;
  long first_extra_line_ = 0;
  Diagnostic problem_{Diagnostic::Severity::error, 0, 0, {}};
  int write_error_ = 0;
};

}  // namespace normalize
