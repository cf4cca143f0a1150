#include "merge_reading.hpp"

#include <array>
#include <memory>

#include "record_io/format.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/list_read.hpp"
#include "record_io/runtime.hpp"

namespace normalize {

namespace {

constexpr int record_unit = 11;
constexpr std::size_t title_length = 78;  // columns 3 to 80 of a title line
constexpr std::size_t values_per_statement = 5;
// The diagnostic's first line is all that is kept of it.
constexpr std::size_t kept_diagnostic = 4096;

// Standard input (empty) and output (dropped) for the runtime; standard error keeps the
// first characters of the diagnostic.
class Console final : public record_io::ByteChannel {
 public:
  explicit Console(std::string* kept = nullptr) : kept_(kept) {}
  long read(char*, std::size_t) override { return 0; }
  std::size_t write(const char* data, std::size_t size) override {
    if (kept_ && kept_->size() < kept_diagnostic) {
      kept_->append(data, std::min(size, kept_diagnostic - kept_->size()));
    }
    return size;
  }

 private:
  std::string* kept_;
};

// Thrown in place of the process ending.
struct Ended {};
[[noreturn]] void end_here() {
  throw Ended{};
}

const record_io::Format& line_format() {
  static const record_io::Format format("(a80)");
  return format;
}

const record_io::Format& header_format() {
  static const record_io::Format format("(5X,I6,5X,F7.0)");
  return format;
}

}  // namespace

MergeReading read_as_merge(const std::string& name) {
  MergeReading m;
  std::string diagnostic;
  record_io::Runtime io(std::make_unique<Console>(), std::make_unique<Console>(),
                        std::make_unique<Console>(&diagnostic), {end_here, end_here});
  try {
    io.open(record_unit, name, record_io::OpenStatus::old);
    std::array<char, title_length> title{};
    for (m.title = 1; m.title <= 3; ++m.title) {
      m.stage = MergeReading::Stage::title;
      record_io::FormattedRead(io, record_unit, line_format())
          .text(title.data(), title.size())
          .end();
    }
    m.title = 0;
    m.stage = MergeReading::Stage::header;
    record_io::FormattedRead(io, record_unit, header_format())
        .integer(m.points)
        .real(m.time_step)
        .end();
    m.header_read = true;
    m.stage = MergeReading::Stage::samples;
    const auto points = static_cast<std::uint64_t>(m.points > 0 ? m.points : 0);
    for (std::uint64_t i = 0; i < points; i += values_per_statement, ++m.statement) {
      std::array<float, values_per_statement> v{};
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(values_per_statement, points - i));
      record_io::ListRead(io, record_unit).reals(v.data(), n).end();
      for (std::size_t k = 0; k < n; ++k) count_sample(m.resolution, v[k]);
    }
    io.close(record_unit);
    m.stage = MergeReading::Stage::whole;
  } catch (const Ended&) {
    m.failure = diagnostic.substr(0, diagnostic.find_first_of("\r\n"));
  }
  return m;
}

}  // namespace normalize
