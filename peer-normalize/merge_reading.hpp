// A record read as the merge reads it: the layer's statements on unit 11, in the merge's
// columns and counts, with its fatal end turned into a report.
#pragma once

#include <cstdint>
#include <string>

#include "resolution.hpp"

namespace normalize {

struct MergeReading {
  // Where the reading stopped: it read the record whole, or failed opening it, in a title
  // line, in the header, or in the samples' statement `statement` (from 0).
  enum class Stage { whole, open, title, header, samples };
  Stage stage = Stage::open;
  int title = 0;                // the title line that failed, from 1
  std::uint64_t statement = 0;  // the statement that failed
  std::string failure;          // the first line of the merge's diagnostic ("fmt: end of file")
  bool header_read = false;
  std::int32_t points = 0;  // from columns 6-11
  float time_step = 0;      // from columns 17-23
  Resolution resolution;    // of the samples read (all of them when whole)

  bool whole() const { return stage == Stage::whole; }
};

// Reads the named file as the merge's component stage does: three "(a80)" title lines, the
// header under "(5X,I6,5X,F7.0)", then `points` samples five to a list-directed statement.
// Writes nothing, and returns whatever happens.
MergeReading read_as_merge(const std::string& name);

}  // namespace normalize
