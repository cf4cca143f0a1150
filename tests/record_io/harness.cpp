#include "harness.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "record_io/list_read.hpp"

namespace record_io::testing {

namespace {

[[noreturn]] void throw_stopped() {
  throw Stopped{};
}
[[noreturn]] void throw_aborted() {
  throw Aborted{};
}

std::unique_ptr<ByteChannel> owned(StringChannel* channel) {
  return std::unique_ptr<ByteChannel>(channel);
}

}  // namespace

Console::Console(std::string input, bool interactive_output)
    : input_(new StringChannel(std::move(input))),
      output_(new StringChannel(std::string{}, interactive_output)),
      error_(new StringChannel()),
      io_(owned(input_), owned(output_), owned(error_), {throw_stopped, throw_aborted}) {}

std::vector<float> list_values(const std::string& lines, std::size_t count, std::size_t chunk) {
  Console console("0\n" + lines);
  console.input().set_read_chunk(chunk);
  ListRead(console.io(), 5).end();
  std::vector<float> values(count);
  for (std::size_t i = 0; i < count; i += 5) {
    ListRead(console.io(), 5).reals(values.data() + i, std::min<std::size_t>(5, count - i)).end();
  }
  return values;
}

std::string stdin_report(std::string_view error_line, std::string_view format) {
  std::string report(error_line);
  report += "\napparent state: unit 5 (unnamed)\n";
  if (!format.empty()) {
    report += "last format: ";
    report += format;
    report += '\n';
  }
  report += "lately reading sequential formatted external IO\n";
  return report;
}

ScratchDir::ScratchDir() {
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("record_io." + std::to_string(entropy()) + std::to_string(entropy()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      dir_ = candidate.generic_string();
      return;
    }
  }
  throw std::runtime_error("no scratch directory");
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string ScratchDir::path(std::string_view name) const {
  return dir_ + "/" + std::string(name);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string native_lines(std::string_view text) {
#ifdef _WIN32
  std::string lines;
  for (char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return lines;
#else
  return std::string(text);
#endif
}

void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace record_io::testing
