// Zeroed memory for large arrays of numbers.
#pragma once

#include <cstddef>

namespace record_io {

// count elements of size bytes, all zero; nullptr when there is not the memory (or the
// size overflows). The storage is calloc's, so a large block is pages the system zeroes
// as they are first touched; the system is asked to back the whole 2 MiB blocks inside it
// with large pages where it can (Linux), which a large array's values then fill with a
// page fault for each 2 MiB instead of each 4 KiB. The pages about its ends stay small,
// so the array holds no memory it does not use.
void* allocate_zeroed(std::size_t count, std::size_t size) noexcept;
// Gives back what allocate_zeroed gave (nullptr: nothing).
void free_zeroed(void* p) noexcept;

}  // namespace record_io
