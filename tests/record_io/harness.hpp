// A record I/O runtime over in-memory channels, whose fatal end returns to the test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "record_io/byte_channel.hpp"
#include "record_io/runtime.hpp"
#include "string_channel.hpp"

namespace record_io::testing {

// Thrown in place of the process ending.
struct Stopped {};
struct Aborted {};

// Units 5 and 6 on strings, unit 0 on a string that collects the diagnostic.
class Console {
 public:
  // interactive_output: each record reaches output() as soon as its statement ends;
  // otherwise records wait in the unit's buffer until the run ends.
  explicit Console(std::string input = {}, bool interactive_output = true);

  Runtime& io() { return io_; }
  StringChannel& input() { return *input_; }
  StringChannel& output_channel() { return *output_; }
  const std::string& output() const { return output_->output(); }
  const std::string& diagnostic() const { return error_->output(); }

  // Runs f, which must end the run abnormally, and returns the diagnostic it wrote.
  template <class F>
  std::string fatal(F f) {
    try {
      f();
    } catch (const Aborted&) {
      return diagnostic();
    }
    ADD_FAILURE() << "the run did not end";
    return {};
  }

 private:
  StringChannel* input_;
  StringChannel* output_;
  StringChannel* error_;
  Runtime io_;
};

// A directory for scratch files, removed with its content at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string path(std::string_view name) const;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

std::string read_file(const std::string& path);
// Text as the layer writes it to a file: each "\n" becomes the system's line end.
std::string native_lines(std::string_view text);
void write_file(const std::string& path, std::string_view bytes);

// `count` values of `lines` read five a statement on unit 5, after a first line read by a
// statement of its own, the input handed over `chunk` bytes at a time: in one piece, the
// statements take their values straight from the lines buffered whole; a byte at a time, they
// read a line at a time.
std::vector<float> list_values(const std::string& lines, std::size_t count, std::size_t chunk);

// The four lines that a failure on unit 5 under `format` reports.
std::string stdin_report(std::string_view error_line, std::string_view format);

}  // namespace record_io::testing
