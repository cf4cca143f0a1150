// Memory the program is about to fill.
#pragma once

#include <cstddef>

namespace record_io {

// Asks the system to back [begin, begin + size) with memory at once rather than a page at
// a time as it is first touched, which costs a fresh process far more. Best effort: where
// the system cannot, the pages come as they are touched.
void populate(void* begin, std::size_t size);

}  // namespace record_io
