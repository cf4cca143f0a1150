// What a record's samples become in the combined file's F10.3 fields.
#pragma once

#include <cstdint>

namespace normalize {

// What the samples the merge reads would print as in the combined file's F10.3 fields.
struct Resolution {
  std::uint64_t nonzero = 0;       // samples that are not zero
  std::uint64_t printed_zero = 0;  // of those, the ones that print as 0.000
  std::uint64_t asterisks = 0;     // samples too large for the field
  double signal_squares = 0;       // sum of the squares of the samples
  double error_squares = 0;        // sum of the squares of what the 3 decimals lose
};

// Counts the sample v in r.
void count_sample(Resolution& r, float v);

// Whether a sample prints as 0.000 in an F10.3 field, and whether it fits one.
bool prints_as_zero(float v);
bool fits_field(float v);

}  // namespace normalize
