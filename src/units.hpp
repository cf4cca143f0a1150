// The I/O units the program uses.
#pragma once

#include "record_io/runtime.hpp"

inline constexpr int keyboard = record_io::Runtime::input_unit;  // 5: the answers typed
inline constexpr int console = record_io::Runtime::output_unit;  // 6: every console message
inline constexpr int file_unit = 11;  // each component file in turn, then the combined file
