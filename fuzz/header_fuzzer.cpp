// Fuzz target: the title lines and the header line of a component file, read with the
// program's formats "(a80)" and "(5X,I6,5X,F7.0)" on an in-memory unit. The input is the
// file: its first three records are read as title lines, every further record with the
// header format until a reading fails (at the latest at the end of the input). Each
// reading is compared with the model, once with the whole input at hand and once handed
// out a few bytes at a time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "component_reader.hpp"
#include "harness.hpp"
#include "record_io/formatted_read.hpp"
#include "record_model.hpp"

namespace {

constexpr int keyboard = 5;
constexpr std::size_t title_records = 3;
constexpr std::size_t max_header_records = 64;

bool same_step(float got, float want) {
  return fuzz::same_bits(got, want) || (got == 0 && want == 0);
}

void check_records(std::string_view data, std::size_t chunk) {
  fuzz::MemoryRun run{std::string(data), chunk};
  model::TextFile file(data);
  for (std::size_t record = 0; record < title_records + max_header_records; ++record) {
    const bool title = record < title_records;
    const record_io::Format& format = title ? line_format() : header_format();
    std::string want_title;
    std::int32_t want_nt = 0;
    float want_dt = 0;
    model::Ending want =
        title ? model::read_title(file, want_title) : model::read_header(file, want_nt, want_dt);
    TitleLine got_title;
    got_title.fill('?');
    std::int32_t nt = -7;
    float dt = -7;
    bool completed = run.step([&] {
      record_io::FormattedRead read(run.io(), keyboard, format);
      if (title) {
        read.text(got_title.data(), got_title.size());
      } else {
        read.integer(nt).real(dt);
      }
      read.end();
    });
    std::string diagnostic = fuzz::expected_diagnostic(want, keyboard, "", format.text());
    if (!fuzz::check_ending(want, completed, run, diagnostic) || !completed) return;
    if (title && std::string_view(got_title.data(), got_title.size()) != want_title) {
      fuzz::MemoryRun::fail("title line", "expected [" + fuzz::show(want_title) + "]\ngot [" +
                                              fuzz::show({got_title.data(), got_title.size()}) +
                                              "]");
    }
    if (!title && (nt != want_nt || !same_step(dt, want_dt))) {
      fuzz::MemoryRun::fail("header values", "expected " + std::to_string(want_nt) + " " +
                                                 fuzz::show(want_dt) + "\ngot " +
                                                 std::to_string(nt) + " " + fuzz::show(dt));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check_records(bytes, std::size_t{1} << 16);
  check_records(bytes, 1 + size % 7);
  return 0;
}
