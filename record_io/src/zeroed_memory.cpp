#include "record_io/zeroed_memory.hpp"

#include <cstdint>
#include <cstdlib>

#include "platform.hpp"

namespace record_io {

void* allocate_zeroed(std::size_t count, std::size_t size) noexcept {
  void* p = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
  if (p == nullptr) return nullptr;
  // The whole large pages inside the block (calloc has checked count * size).
  constexpr std::uintptr_t large = platform::large_page_size;
  const auto begin = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t first = (begin + large - 1) / large * large;
  const std::uintptr_t end = (begin + count * size) / large * large;
  if (end > first) platform::prefer_large_pages(reinterpret_cast<void*>(first), end - first);
  return p;
}

void free_zeroed(void* p) noexcept {
  std::free(p);
}

}  // namespace record_io
