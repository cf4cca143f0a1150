// Replays fuzz inputs through a target without libFuzzer: every argument is a file, or a
// directory whose files are replayed in name order. An input that breaks an invariant is
// reported by name and the replay goes on; the exit status is 1 when any did (a crash
// still ends the replay at once).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> inputs(const std::filesystem::path& argument) {
  std::vector<std::filesystem::path> paths;
  if (std::filesystem::is_directory(argument)) {
    for (const auto& entry : std::filesystem::directory_iterator(argument)) {
      if (entry.is_regular_file()) paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
  } else {
    paths.push_back(argument);
  }
  return paths;
}

bool read_file(const std::filesystem::path& path, std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  std::vector<std::string> failed;
  for (int a = 1; a < argc; ++a) {
    for (const auto& path : inputs(argv[a])) {
      std::string bytes;
      if (!read_file(path, bytes)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
      }
      fuzz::set_input_name(path.string());
      try {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      } catch (const fuzz::InvariantBroken&) {
        failed.push_back(path.string());
      }
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed, %zu broke an invariant\n", replayed, failed.size());
  for (const std::string& name : failed) std::printf("  %s\n", name.c_str());
  return replayed > 0 && failed.empty() ? 0 : 1;
}
