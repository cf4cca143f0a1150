// The classes of characters that readers of numbers share.
#pragma once

namespace record_io {

// Whether c, a character or a byte as an int (-1 for none), is a decimal digit.
constexpr bool is_digit(int c) {
  return c >= '0' && c <= '9';
}

}  // namespace record_io
