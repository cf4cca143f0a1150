// Fuzz target: the whole component stage (read_component) on one file: its title lines,
// its header and its samples. The input is the file's bytes; the file is a memory file
// that the stage opens by name through /proc/self/fd (a scratch file where the system has
// no memory files). The result is compared with the
// model: title lines, point count, time step, every sample of the target array, the
// console echo and the fatal diagnostic. A file read completely is read a second time on
// the same runtime. The target array has exactly as many elements as the header gives
// points, so a write past them is a sanitizer report (container overflow), and the stage
// must leave the process's file descriptors as it found them.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "component_reader.hpp"
#include "harness.hpp"
#include "record_io/list_write.hpp"
#include "record_model.hpp"

namespace {

constexpr int file_unit = 11;
constexpr int console = 6;
constexpr float fill = 0.25f;  // every element before the reading: a null keeps it

// A file in memory with a name that open() accepts, rewritten for every input.
class MemoryFile {
 public:
#if PEER_MERGE_HAVE_MEMFD_CREATE
  MemoryFile() : fd_(::memfd_create("component", 0)) {
    if (fd_ < 0) fuzz::MemoryRun::fail("memfd_create", std::strerror(errno));
    name_ = "/proc/self/fd/" + std::to_string(fd_);
  }
#else
  MemoryFile() {
    name_ = (std::filesystem::temp_directory_path() /
             ("component_fuzzer." + std::to_string(::getpid())))
                .string();
    fd_ = ::open(name_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd_ < 0) fuzz::MemoryRun::fail("creating the scratch file", std::strerror(errno));
  }
  ~MemoryFile() {
    ::unlink(name_.c_str());
  }
#endif
  void hold(std::string_view bytes) {
    bool written = ::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, bytes.data(), bytes.size(), 0) ==
                                                   static_cast<ssize_t>(bytes.size());
    if (!written) fuzz::MemoryRun::fail("writing the memory file", std::strerror(errno));
  }
  const std::string& name() const {
    return name_;
  }
  // The descriptor the next open would get.
  int lowest_free_descriptor() const {
    int fd = ::dup(fd_);
    ::close(fd);
    return fd;
  }

 private:
  int fd_;
  std::string name_;
};

// The records the stage must echo: the title lines once all three are read, the header
// record once the header is read.
std::vector<std::string> expected_echo(const model::Component& want) {
  std::vector<std::string> echo;
  if (want.titles_read == 3) {
    for (const std::string* line : {&want.line1, &want.line2, &want.line3}) {
      echo.push_back(" " + *line);
    }
  }
  if (want.header_read) {
    echo.push_back(" Number of Points & Dt (s) = " + std::to_string(want.nt) +
                   model::real_item(want.dt));
  }
  return echo;
}

// The console: the label record, then the echo of each reading. The text of a time step
// that is not a finite number is the implementation's: only what comes before it counts.
void check_screen(const model::Component& want, int readings, const std::string& got) {
  std::vector<std::string> lines{" First Component:"};
  std::vector<std::string> echo = expected_echo(want);
  for (int i = 0; i < readings; ++i) lines.insert(lines.end(), echo.begin(), echo.end());
  const std::string header_prefix = " Number of Points & Dt (s) = " + std::to_string(want.nt);
  std::size_t from = 0;
  bool same = true;
  for (const std::string& line : lines) {
    std::size_t lf = got.find('\n', from);
    if (lf == std::string::npos) {
      same = false;
      break;
    }
    std::string_view shown(got.data() + from, lf - from);
    bool open_text = !std::isfinite(want.dt) && line.rfind(header_prefix, 0) == 0;
    same = same &&
           (open_text ? shown.substr(0, header_prefix.size()) == header_prefix : shown == line);
    from = lf + 1;
  }
  if (!same || from != got.size()) {
    std::string expected;
    for (const std::string& line : lines) expected += line + "\n";
    fuzz::MemoryRun::fail("console echo",
                          "expected:\n" + fuzz::show(expected) + "got:\n" + fuzz::show(got));
  }
}

void check_header(const model::Component& want, const ComponentHeader& got) {
  const TitleLine* lines[] = {&got.line1, &got.line2, &got.line3};
  const std::string* wanted[] = {&want.line1, &want.line2, &want.line3};
  for (int i = 0; i < want.titles_read; ++i) {
    if (std::string_view(lines[i]->data(), lines[i]->size()) != *wanted[i]) {
      fuzz::MemoryRun::fail("title line " + std::to_string(i + 1),
                            "expected [" + fuzz::show(*wanted[i]) + "]\ngot [" +
                                fuzz::show({lines[i]->data(), lines[i]->size()}) + "]");
    }
  }
  if (want.header_read &&
      (got.nt != want.nt || !(fuzz::same_bits(got.dt, want.dt) || (got.dt == 0 && want.dt == 0)))) {
    fuzz::MemoryRun::fail("header values", "expected " + std::to_string(want.nt) + " " +
                                               fuzz::show(want.dt) + "\ngot " +
                                               std::to_string(got.nt) + " " + fuzz::show(got.dt));
  }
}

void check_samples(const model::Component& want, const Samples& got) {
  if (got.size() != want.samples.size()) {
    fuzz::MemoryRun::fail("target array resized", std::to_string(want.samples.size()) + " -> " +
                                                      std::to_string(got.size()));
  }
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (!fuzz::same_bits(got[i], want.samples[i])) {
      fuzz::MemoryRun::fail(
          "sample " + std::to_string(i + 1),
          "expected " + fuzz::show(want.samples[i]) + "\ngot " + fuzz::show(got[i]));
    }
  }
}

const char* failing_format(const model::Component& want) {
  if (want.titles_read < 3) return "(a80)";
  if (!want.header_read) return "(5X,I6,5X,F7.0)";
  return "list io";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;

  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  file.hold(bytes);
  const int free_descriptor = file.lowest_free_descriptor();
  const model::Component want = model::read_component(bytes, fill);

  // An array of exactly the header's count, so that a write past it is outside the
  // allocation, which the fuzz build's address sanitizer reports.
  Samples target(want.header_read ? static_cast<std::size_t>(std::max(want.nt, 0)) : 0, fill);
  ComponentHeader header;
  {
    fuzz::MemoryRun run{std::string(), 1};
    bool completed = run.step([&] {
      record_io::ListWrite(run.io(), console).text("First Component:").end();
      read_component(run.io(), file.name(), header, target);
    });
    std::string diagnostic =
        fuzz::expected_diagnostic(want.ending, file_unit, file.name(), failing_format(want));
    if (!fuzz::check_ending(want.ending, completed, run, diagnostic)) return 0;
    check_header(want, header);
    int readings = 1;
    if (completed) {
      check_samples(want, target);
      // The same file again on the same runtime, as for a name given twice: the open
      // starts the file afresh, whatever the first reading left behind.
      Samples again(target.size(), fill);
      ComponentHeader header_again;
      if (!run.step([&] { read_component(run.io(), file.name(), header_again, again); })) {
        fuzz::MemoryRun::fail("a second reading of the file failed", run.errors());
      }
      check_header(want, header_again);
      check_samples(want, again);
      readings = 2;
    }
    check_screen(want, readings, run.screen());
  }
  if (file.lowest_free_descriptor() != free_descriptor) {
    fuzz::MemoryRun::fail("a file descriptor was left open", {});
  }
  return 0;
}
