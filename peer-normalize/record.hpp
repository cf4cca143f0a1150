// One record, read from its channel and written in the layout the merge reads.
#pragma once

#include <vector>

#include "diagnostic.hpp"
#include "record_io/byte_channel.hpp"
#include "record_io/text_writer.hpp"

namespace normalize {

struct RecordResult {
  // Warnings in the order found, then the error that refused the record, if any.
  std::vector<Diagnostic> diagnostics;
  bool refused = false;
  int read_error = 0;   // errno of a failed read
  int write_error = 0;  // errno of a failed write

  bool ok() const { return !refused && read_error == 0 && write_error == 0; }
};

// Reads the record from `in` and, given `out`, writes it in the layout the merge reads: the
// three title lines as they are, the header line in the old layout's fixed columns (see
// header_line.hpp and time_step.hpp), then the first point-count values five to a line
// (see samples.hpp). Line ends are a line feed, with any carriage returns before it.
// Refused: a record that ends before its header, a header without a usable point count or
// time step, a value that is not a number, fewer values than the point count. Warnings: a
// time step that seven columns cannot hold exactly, values beyond the point count (left
// out). Reading stops at the first error; `out` is not flushed.
RecordResult normalize_record(record_io::ByteChannel& in, record_io::TextWriter* out);

}  // namespace normalize
