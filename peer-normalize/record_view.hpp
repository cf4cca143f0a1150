// A record as peer-normalize understands it, line by line, beside the lines the merge's
// statements would take its values from.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "diagnostic.hpp"
#include "header_line.hpp"
#include "record_io/byte_channel.hpp"
#include "resolution.hpp"

namespace normalize {

struct RecordView {
  int read_error = 0;
  long lines = 0;
  std::array<std::string, 3> titles;  // their first characters, without the line end
  bool has_header_line = false;
  std::string header_text;       // its first characters
  HeaderLine header;             // what its words say
  bool combined_layout = false;  // lines 1 to 4 are records of a combined file

  // The data lines as peer-normalize reads them.
  std::uint64_t values = 0;
  std::optional<Diagnostic> refusal;  // a value it cannot read; the lines after are not counted
  Resolution
      resolution;  // of the header's count of values, as the merge reads them once normalised

  // The merge's statements, five values each, over those lines: each takes its values from
  // as many lines as it needs and passes over the rest of its last line.
  std::uint64_t dropped = 0;                    // passed over while statements still follow
  long first_dropped_line = 0;                  // where the first of them is
  std::uint64_t first_dropped_line_values = 0;  // how many values that line holds
  std::uint64_t beyond = 0;                     // past the last statement
  long first_beyond_line = 0;
  std::uint64_t missing = 0;  // the statements find no more values for these
  long statement_line = 0;    // the line the watched statement takes its first value
                              // from (the last line when it finds none)
};

// Reads the record from `in`; merge_points: the count the merge reads from the header's
// columns (no statement when not above zero); watch: the statement (from 0) whose line
// statement_line gives.
RecordView view_record(record_io::ByteChannel& in, std::int64_t merge_points,
                       std::uint64_t watch = 0);

// A record of the combined file: 40 characters, commas in columns 8, 19 and 30.
bool is_combined_record(std::string_view line);

}  // namespace normalize
