// Units of acceleration: the one a record's third title line names, and the values rewritten
// in another.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace normalize {

enum class AccelerationUnit { g, cm_s2, m_s2 };

// The unit an option names: "g", "cm/s2" or "m/s2" (any letter case); none for anything else.
std::optional<AccelerationUnit> unit_of_option(std::string_view name);
// The option's spelling of the unit: "g", "cm/s2", "m/s2".
std::string_view unit_name(AccelerationUnit unit);

// The unit a title line names, as a word of its own ("UNITS OF G.", "(g)", "CM/SEC/SEC",
// "cm/s^2", "GAL", "M/S2", ...); `problem` says why none is found when the line names no
// unit, or two different ones.
struct NamedUnit {
  std::optional<AccelerationUnit> unit;
  std::string problem;
};
NamedUnit unit_named(std::string_view line);

// The line with each word naming its unit replaced by the name of `to` (upper case where
// the word was).
std::string line_renamed(std::string_view line, AccelerationUnit to);

// The factor from one unit to another: a value in `from` times it is the value in `to`.
double unit_factor(AccelerationUnit from, AccelerationUnit to);

// The text of v * factor, rounded once to single precision, with the fewest digits that the
// merge reads back as that single value; empty when the product is not finite.
std::string converted_text(float v, double factor);

}  // namespace normalize
