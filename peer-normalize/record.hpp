// One record, read from its channel and written in the layout the merge reads.
#pragma once

#include <cstddef>
#include <vector>

#include "diagnostic.hpp"
#include "record_io/byte_channel.hpp"

namespace normalize {

struct RecordResult {
  // Warnings in the order found, then the error that refused the record, if any.
  std::vector<Diagnostic> diagnostics;
  bool refused = false;
  int read_error = 0;   // errno of a failed read
  int write_error = 0;  // errno of a failed write

  bool ok() const { return !refused && read_error == 0 && write_error == 0; }
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
RecordResult normalize_record(record_io::ByteChannel& in, record_io::ByteChannel* out);

// How much of the header line is read: far more than any header holds.
inline constexpr std::size_t header_prefix = 64 * 1024;

}  // namespace normalize
