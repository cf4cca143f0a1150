#include "combined_writer.hpp"

#include <cstddef>

#include "record_io/decimal.hpp"
#include "record_io/formatted_write.hpp"
#include "units.hpp"

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
    // (i - 1) * dt is exact in double precision; it is rounded once, to single.
    float t = record_io::round_to_single(static_cast<double>(i - 1) * static_cast<double>(dt));
    auto k = static_cast<std::size_t>(i - 1);
    record_io::FormattedWrite(io, file_unit, format).real(t).real(x[k]).real(y[k]).real(z[k]).end();
  }
  io.close(file_unit);
}
