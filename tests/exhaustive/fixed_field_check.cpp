// Every one of the 2^32 bit patterns of a single through the F10.3 and F7.3 edits, each
// field compared with the C library's "%.3f" of the same value under the field's rules: no
// sign on a zero result, right-aligned, asterisks when it does not fit.
//
//   fixed_field_check [THREADS [FIRST LAST]]
//
// THREADS: default the processors' count; FIRST, LAST: only the patterns from FIRST up to
// LAST, not included (hexadecimal, multiples of 2^20; default all).
//
// Prints the patterns checked, the first few differences and the time taken (progress on
// standard error); exits 1 on any difference. It takes about 21 minutes of processor time,
// most of it in the C library's conversions of the large values.
#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fixed_edit.hpp"

namespace {

constexpr std::uint64_t all_patterns = std::uint64_t{1} << 32;
constexpr std::uint64_t slice = std::uint64_t{1} << 20;  // patterns a thread takes at a time

std::uint64_t patterns = all_patterns;  // the end of the patterns checked
std::atomic<std::uint64_t> next_slice{0};
std::atomic<std::uint64_t> differences{0};
std::mutex report_mutex;

// The field of width w that the C library's text of the value gives.
void expected_field(const char* text, std::size_t length, std::size_t w, char* field) {
  const char* begin = text;
  if (text[0] == '-' && std::strspn(text + 1, "0.") == length - 1) ++begin;  // a zero result
  auto n = static_cast<std::size_t>(text + length - begin);
  if (n > w) {
    std::memset(field, '*', w);
  } else {
    std::memset(field, ' ', w - n);
    std::memcpy(field + (w - n), begin, n);
  }
}

void report(std::uint32_t bits, int w, const char* want, const char* got) {
  if (differences.fetch_add(1) >= 10) return;
  std::lock_guard<std::mutex> lock(report_mutex);
  std::printf("0x%08x F%d.3: expected \"%.*s\", got \"%.*s\"\n", static_cast<unsigned>(bits), w, w,
              want, w, got);
}

void check_slices() {
  char text[512];
  char want[16];
  char got[16];
  for (;;) {
    std::uint64_t first = next_slice.fetch_add(slice);
    if (first >= patterns) return;
    if (first % (all_patterns / 16) == 0) {  // progress, on standard error
      std::fprintf(stderr, "%2llu/16 started\n",
                   static_cast<unsigned long long>(first / (all_patterns / 16)));
    }
    for (std::uint64_t b = first; b < first + slice; ++b) {
      auto bits = static_cast<std::uint32_t>(b);
      float v = std::bit_cast<float>(bits);
      int length = std::snprintf(text, sizeof text, "%.3f", static_cast<double>(v));
      for (int w : {10, 7}) {
        auto width = static_cast<std::size_t>(w);
        expected_field(text, static_cast<std::size_t>(length), width, want);
        char* end = record_io::edit_fixed(got, v, w, 3);
        if (end != got + w || std::memcmp(want, got, width) != 0) report(bits, w, want, got);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  if (argc > 1) threads = static_cast<unsigned>(std::max(1, std::atoi(argv[1])));
  std::uint64_t first = 0;
  if (argc > 3) {
    first = std::strtoull(argv[2], nullptr, 16) / slice * slice;
    patterns =
        std::min<std::uint64_t>(all_patterns, std::strtoull(argv[3], nullptr, 16) / slice * slice);
  }
  next_slice = first;
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < threads; ++i) pool.emplace_back(check_slices);
  for (std::thread& t : pool) t.join();
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%llu patterns through F10.3 and F7.3, %u threads, %.1f s: %llu differences\n",
              static_cast<unsigned long long>(patterns > first ? patterns - first : 0), threads,
              seconds, static_cast<unsigned long long>(differences.load()));
  return differences.load() == 0 ? 0 : 1;
}
