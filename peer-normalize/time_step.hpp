// The time step as the header's seven columns (17-23) hold it.
#pragma once

#include <cstddef>
#include <string>

namespace normalize {

inline constexpr std::size_t time_step_columns = 7;

struct TimeStepText {
  std::string text;  // at most seven characters
  float value;       // what the merge reads from the text: nearest double, then single
  bool exact;        // value is the time step the text was chosen for
};

// The text for a time step dt (finite, above zero): the shortest decimal that reads back as
// dt in single precision, with trailing zeros up to five decimals where seven columns hold
// them (".02000", ".00244", "1.50000", "12.5"); an exponent form ("1.5E-7", "15E-8") when no
// decimal fits; otherwise the text of at most seven characters that reads closest to dt (exact
// false).
TimeStepText time_step_text(float dt);

}  // namespace normalize
