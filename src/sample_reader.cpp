#include "sample_reader.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

#include "record_io/list_read.hpp"

namespace {

constexpr std::size_t values_per_statement = 5;

}  // namespace

std::vector<float> zero_samples(std::size_t n) {
  std::vector<float> samples;
  samples.reserve(n);
  // Best effort: where the system cannot populate the pages, they fault in as they are
  // zeroed below.
  constexpr std::uintptr_t page = 4096;
  auto begin = reinterpret_cast<std::uintptr_t>(samples.data()) & ~(page - 1);
  auto end = (reinterpret_cast<std::uintptr_t>(samples.data() + n) + page - 1) & ~(page - 1);
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  samples.assign(n, 0.0f);
  return samples;
}

void extend_samples(std::vector<float>& samples, std::int32_t count) {
  if (count > 0 && samples.size() < static_cast<std::size_t>(count)) {
    samples.resize(static_cast<std::size_t>(count), 0.0f);
  }
}

void read_samples(record_io::Runtime& io, int unit, std::int32_t nt, std::vector<float>& target) {
  if (nt <= 0) return;
  extend_samples(target, nt);
  auto count = static_cast<std::size_t>(nt);
  for (std::size_t i = 0; i < count; i += values_per_statement) {
    record_io::ListRead(io, unit)
        .reals(target.data() + i, std::min(values_per_statement, count - i))
        .end();
  }
}
