// Fuzz target: list-directed statements of single-precision reals over arbitrary bytes,
// on an in-memory unit. The first line of the input gives the number of values (its
// leading digits, below 1000); the rest is read in statements of five values, the last
// one taking the one to five left over, into an array of exactly that many elements, so
// that any write past it is a sanitizer report. Each statement is compared with the
// model, once with the whole input at hand and once handed out a few bytes at a time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "harness.hpp"
#include "record_io/list_read.hpp"
#include "record_model.hpp"

namespace {

constexpr int keyboard = 5;
constexpr std::size_t per_statement = 5;
constexpr std::size_t max_values = 1000;
constexpr float fill = 0.25f;  // every element before the reading: a null keeps it

void check_statements(std::string_view data, std::size_t count, std::size_t chunk) {
  fuzz::MemoryRun run{std::string(data), chunk};
  model::TextFile file(data);
  std::unique_ptr<float[]> got(new float[count]);
  std::fill_n(got.get(), count, fill);
  std::vector<float> want(count, fill);
  for (std::size_t at = 0; at < count; at += per_statement) {
    const std::size_t n = std::min(per_statement, count - at);
    model::Ending ending = model::read_list(file, want.data() + at, n);
    bool completed = run.step([&] {
      record_io::ListRead read(run.io(), keyboard);
      read.reals(got.get() + at, n).end();
    });
    std::string diagnostic = fuzz::expected_diagnostic(ending, keyboard, "", "list io");
    if (!fuzz::check_ending(ending, completed, run, diagnostic) || !completed) return;
    for (std::size_t i = at; i < at + n; ++i) {
      if (!fuzz::same_bits(got[i], want[i])) {
        fuzz::MemoryRun::fail("value " + std::to_string(i + 1),
                              "expected " + fuzz::show(want[i]) + "\ngot " + fuzz::show(got[i]));
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
    count = (count * 10 + static_cast<std::size_t>(bytes[i] - '0')) % max_values;
  }
  std::size_t lf = bytes.find('\n');
  std::string_view records = lf == std::string_view::npos ? "" : bytes.substr(lf + 1);
  check_statements(records, count, std::size_t{1} << 16);
  check_statements(records, count, 1 + size % 7);
  return 0;
}
