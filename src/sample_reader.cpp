#include "sample_reader.hpp"

#include <algorithm>

#include "record_io/list_read.hpp"
#include "record_io/memory.hpp"

namespace {

constexpr std::size_t values_per_statement = 5;

// An empty array with room for n samples, its memory mapped in one step.
std::vector<float> mapped_room(std::size_t n) {
  std::vector<float> samples;
  samples.reserve(n);
  record_io::populate(samples.data(), n * sizeof(float));
  return samples;
}

}  // namespace

std::vector<float> zero_samples(std::size_t n) {
  std::vector<float> samples = mapped_room(n);
  samples.assign(n, 0.0f);
  return samples;
}

void extend_samples(std::vector<float>& samples, std::int32_t count) {
  if (count <= 0 || samples.size() >= static_cast<std::size_t>(count)) return;
  auto n = static_cast<std::size_t>(count);
  if (samples.capacity() < n) {
    std::vector<float> larger = mapped_room(n);
    larger.assign(samples.begin(), samples.end());
    samples.swap(larger);
  }
  samples.resize(n, 0.0f);
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
