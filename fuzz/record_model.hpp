// A small reference reader for the fuzz targets: how a component file must read, written
// straight from the record rules and sharing no code with the record I/O layer. The
// targets run the real reader and this model on the same bytes and compare the results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace model {

// How a statement (or a whole reading) ended.
struct Ending {
  enum Kind : std::uint8_t {
    completed,
    failed,
    unspecified,  // the rules leave this input open: the targets compare nothing further
  };
  Kind kind = completed;
  std::string context;  // failed: "fmt", "read start", "list in", "invalid number", ...
  std::string message;  // failed: "end of file", "read unexpected character", ...

  static Ending ok() { return {}; }
  static Ending fail(std::string context, std::string message) {
    return {failed, std::move(context), std::move(message)};
  }
  static Ending left_open() { return {unspecified, {}, {}}; }
  // The first line of the fatal diagnostic, without its newline.
  std::string error_line() const { return context + ": " + message; }
};

// The bytes of a file read as a text stream: a record ends at a line feed, and a carriage
// return directly before the line feed belongs to the line end. Remembers whether a
// statement ran into the end of a file that has no final line feed. Keeps a view of the
// bytes, which must outlive it.
class TextFile {
 public:
  explicit TextFile(std::string_view bytes) : bytes_(bytes) {}

  struct Line {
    std::string_view text;  // without its line end
    bool terminated;        // a line feed follows; false: the file ends after `text`
    std::size_t next;       // where the following record starts
  };
  // The record starting at byte `from`.
  Line line_at(std::size_t from) const;
  std::size_t position() const { return pos_; }
  // A statement ends: its record is discarded with its line feed (`line` started at
  // position()).
  void finish_record(const Line& line);
  bool at_end() const { return at_end_; }
  std::string_view bytes() const { return bytes_; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool at_end_ = false;
};

// "(a80)" into a 78-character variable: columns 3 to 80 of the record.
Ending read_title(TextFile& file, std::string& title);

// "(5X,I6,5X,F7.0)": the point count from columns 6-11, the time step from 17-23.
Ending read_header(TextFile& file, std::int32_t& nt, float& dt);

// One list-directed statement of n single-precision reals into v[0..n).
Ending read_list(TextFile& file, float* v, std::size_t n);

// The decimal number digits[0..) * 10^exponent with at most 40 significant digits kept,
// converted to the nearest double and then rounded to single precision. `digits` holds
// decimal digits only; an empty or all-zero string is +0.0.
float decimal_to_single(std::string_view digits, std::int64_t exponent, bool negative);

// The console text of a real item (" -" or two blanks, then the "%.9G" form with a point).
std::string real_item(float v);

// How a whole component file reads: titles, header, then the data statements.
struct Component {
  std::string line1, line2, line3;
  std::int32_t nt = 0;
  float dt = 0;
  int titles_read = 0;  // 0..3
  bool header_read = false;
  // The target array after the reading: max(nt, 0) elements when it completed, else
  // those up to the end of the statement that failed.
  std::vector<float> samples;
  Ending ending;
};

// The length of the data statement that starts at element `at` (0-based, a multiple of
// five), 0 when there is none: every point is read, five to a statement, the last
// statement taking the one to four left over.
std::size_t statement_length(std::int32_t nt, std::size_t at);

// Reads a component file the way the component stage must, into a target array of
// max(nt, 0) elements that all hold `fill` before the reading.
Component read_component(std::string_view bytes, float fill);

}  // namespace model
