#include "sample_reader.hpp"

#include <algorithm>

#include "record_io/list_read.hpp"

namespace {

constexpr std::size_t values_per_statement = 5;

}  // namespace

Samples zero_samples(std::size_t n) {
  return Samples(n);
}

void extend_samples(Samples& samples, std::int32_t count) {
  if (count <= 0 || samples.size() >= static_cast<std::size_t>(count)) return;
  samples.resize(static_cast<std::size_t>(count));  // new elements are zeros
}

void read_samples(record_io::Runtime& io, int unit, std::int32_t nt, Samples& target) {
  if (nt <= 0) return;
  extend_samples(target, nt);
  auto count = static_cast<std::size_t>(nt);
  for (std::size_t i = 0; i < count; i += values_per_statement) {
    record_io::ListRead(io, unit)
        .reals(target.data() + i, std::min(values_per_statement, count - i))
        .end();
  }
}
