// Writes the three component files of one synthetic event for timing runs.
//
//   make_records [DIR [POINTS [SEED]]]
//
// Creates DIR/synthetic_h1.at2, DIR/synthetic_h2.at2 and DIR/synthetic_up.at2 (33000 points
// at 0.005 s by default, seed 1) and prints their paths, one a line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "synthetic_record.hpp"

namespace {

bool parse_number(const char* text, std::uint64_t& value) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0') return false;
  value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? argv[1] : ".";
  std::uint64_t points = 33000;
  std::uint64_t seed = 1;
  if ((argc > 2 && !parse_number(argv[2], points)) || (argc > 3 && !parse_number(argv[3], seed)) ||
      argc > 4 || points > 999999) {
    std::cerr << "usage: make_records [DIR [POINTS (at most 999999) [SEED]]]\n";
    return 2;
  }
  std::filesystem::create_directories(dir);
  const char* names[] = {"synthetic_h1.at2", "synthetic_h2.at2", "synthetic_up.at2"};
  const char* titles[] = {"SYNTHETIC EVENT, STATION SYN01, COMPONENT 000",
                          "SYNTHETIC EVENT, STATION SYN01, COMPONENT 090",
                          "SYNTHETIC EVENT, STATION SYN01, COMPONENT UP"};
  auto shapes = bench::event_components(points, seed);
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    std::filesystem::path path = dir / names[k];
    std::string text =
        bench::component_text(shapes[k], titles[k], bench::synthetic_motion(shapes[k]));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) {
      std::cerr << "make_records: cannot write " << path << '\n';
      return 1;
    }
    std::cout << path.string() << '\n';
  }
  return 0;
}
