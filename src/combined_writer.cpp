#include "combined_writer.hpp"

#include <cstddef>

#include "record_io/formatted_write.hpp"
#include "record_io/rounding.hpp"
#include "units.hpp"

namespace {

// The time of sample i (from 1): (i - 1) * dt, rounded to single (to nearest, ties to even),
// an infinity beyond the single range. The product is exact in double precision while i - 1
// is below 2^29 (its 29 bits times dt's 24), as every count a header holds is, so it is
// rounded once; beyond, it is rounded to double first.
float time_of(std::int32_t i, float dt) {
  return record_io::round_to_single(static_cast<double>(i - 1) * static_cast<double>(dt));
}

}  // namespace

const record_io::Format& combined_format() {
  static const record_io::Format format("(F7.3,3(\x02,\x02,F10.3))");
  return format;
}

void write_combined(record_io::Runtime& io, std::string_view name, std::int32_t nt, float dt,
                    const Samples& x, const Samples& y, const Samples& z) {
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
