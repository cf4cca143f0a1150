// The sample arrays: single-precision values whose new elements are zeros.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

#include "record_io/zeroed_memory.hpp"

// An allocator whose storage is zeros wherever no element lives, so that a new element
// made with no value is already zero and costs nothing: storage comes zeroed from the
// layer (a large array maps zeroed pages, touched only when a value is stored, large ones
// where the system gives them), and an element destroyed is set back to zero. A record of
// a million points then grows its array without writing four megabytes of zeros first,
// and the part of an array that no record reaches stays unwritten.
template <typename T>
struct ZeroedAllocator {
  static_assert(std::numeric_limits<T>::is_iec559, "a zero value must be all bits zero");
  using value_type = T;

  ZeroedAllocator() = default;
  template <typename U>
  constexpr ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    void* p = record_io::allocate_zeroed(n, sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { record_io::free_zeroed(p); }

  // A new element with no value: the storage already holds its zero.
  template <typename U>
  void construct(U*) noexcept {}
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
  }
  template <typename U>
  void destroy(U* p) noexcept {
    *p = U();
  }

  friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) { return true; }
};

using Samples = std::vector<float, ZeroedAllocator<float>>;
