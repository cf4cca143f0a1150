// Numeric output fields: the fixed-point field (Fw.d), and any text right-aligned in a field.
#pragma once

#include <cstddef>

#include "record_io/fixed_field.hpp"

namespace record_io {

using detail::asterisks;
using detail::edit_fixed;

// Right-aligns text[0..length) in out[0..width) with blanks before it, or fills the field
// with asterisks when the text does not fit. Returns out + width.
char* place_right(char* out, const char* text, std::size_t length, std::size_t width);

}  // namespace record_io
