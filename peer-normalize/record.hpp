// One record, read from its channel and written in the layout the merge reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diagnostic.hpp"
#include "record_io/byte_channel.hpp"
#include "units.hpp"

namespace normalize {

struct RecordResult {
  // Warnings in the order found, then the error that refused the record, if any.
  std::vector<Diagnostic> diagnostics;
  bool refused = false;
  int read_error = 0;   // errno of a failed read
  int write_error = 0;  // errno of a failed write
  // The header's point count and time step, once it is read; -1 before.
  std::int64_t points = -1;
  float time_step = 0;

  bool ok() const { return !refused && read_error == 0 && write_error == 0; }
  // The time step as a message shows it: "0.005 s".
  std::string time_step_text() const;
};

// Reads the record from `in` and, given `out`, writes it there in the layout the merge
// reads: the three title lines as they are, the header line in the old layout's fixed
// columns (see header_line.hpp and time_step.hpp), then the first point-count values five
// to a line (see samples.hpp). An input line ends at a line feed, with any carriage returns
// before it; a line written ends with `out`'s line end. Refused: a record that ends before its
// header, a header without a usable point count or time step, a value that is not a number, fewer
// values than the point count. Warnings: a time step that seven columns cannot hold exactly, values
// beyond the point count (left out). Reading stops at the first error; what was written goes to
// `out` as its buffer fills and at the end, so a caller that must not leave part of a record checks
// it first (with no `out`) or writes where it can be thrown away.
//
// Memory does not grow with the length of a line: a line longer than the reader's buffer
// is read in pieces. A title is copied whole; of the header line its first
// `header_prefix` characters are read; a value longer than a piece is refused.
//
// A rewrite may change the record on the way: `points` (when given) is the count written,
// the first values of the record cut to it or padded with zeros at the end; `unit` (when
// given) is the unit the values are written in, converted from the one the third title line
// names (refused when it names none that peer-normalize knows), whose name that line then
// gives in its place.
struct Rewrite {
  std::optional<std::int64_t> points;
  std::optional<AccelerationUnit> unit;
};
RecordResult normalize_record(record_io::ByteChannel& in, record_io::ByteChannel* out,
                              const Rewrite& rewrite = {});

// How much of the header line is read: far more than any header holds.
inline constexpr std::size_t header_prefix = 64 * 1024;

}  // namespace normalize
