// The text of a real console item.
#pragma once

#include <cstddef>

namespace record_io {

// The text of a real item: " -" or "  ", then 0. for zero, or the 9-significant-digit
// form of "%.9G" with a decimal point added when it has none ("1.", "100.",
// "0.00999999978", "9.99999997E-07", "1.E+10"); "INF" and "NAN" for the others.
// Writes into out (at least 24 bytes) and returns the length.
std::size_t real_item_text(float v, char* out);

}  // namespace record_io
