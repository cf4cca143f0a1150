#include "record_io/memory.hpp"

#include "platform.hpp"

namespace record_io {

void populate(void* begin, std::size_t size) {
  platform::populate(begin, size);
}

}  // namespace record_io
