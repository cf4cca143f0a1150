#include "combined_writer.hpp"

#include <cstddef>
#include <limits>

#include "record_io/formatted_write.hpp"
#include "units.hpp"

namespace {

// The time of sample i (from 1): (i - 1) * dt, exact in double precision, rounded once to
// single (to nearest, ties to even), an infinity beyond the single range.
float time_of(std::int32_t i, float dt) {
  double t = static_cast<double>(i - 1) * static_cast<double>(dt);
  // Halfway between the largest single and 2^128 and beyond rounds to the infinity.
  constexpr double overflow = 0x1.ffffffp127;
  if (t >= overflow) return std::numeric_limits<float>::infinity();
  if (t <= -overflow) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(t);
}

}  // namespace

const record_io::Format& combined_format() {
  static const record_io::Format format("(F7.3,3(\x02,\x02,F10.3))");
  return format;
}

void write_combined(record_io::Runtime& io, std::string_view name, std::int32_t nt, float dt,
                    const std::vector<float>& x, const std::vector<float>& y,
                    const std::vector<float>& z) {
  io.open(file_unit, name, record_io::OpenStatus::unknown);
  const record_io::Format& format = combined_format();
  for (std::int32_t i = 1; i <= nt; ++i) {
    auto k = static_cast<std::size_t>(i - 1);
    record_io::FormattedWrite(io, file_unit, format)
        .real(time_of(i, dt))
        .real(x[k])
        .real(y[k])
        .real(z[k])
        .end();
  }
  io.close(file_unit);
}
