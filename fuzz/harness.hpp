// What the fuzz targets share: the record I/O layer run in memory with process ends that
// hand control back, the fatal diagnostic they expect, and the reporting of a broken
// invariant.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "record_io/byte_channel.hpp"
#include "record_io/runtime.hpp"
#include "record_model.hpp"
#include "string_channel.hpp"

namespace fuzz {

// Thrown by the process ends of a run under test.
struct RunEnded {
  bool aborted;  // true: the fatal diagnostic; false: a normal stop
};

// A runtime whose standard units are strings: unit 5 reads `input`, at most `chunk` bytes
// per read; whatever units 6 and 0 write is collected.
class MemoryRun {
 public:
  MemoryRun(std::string input, std::size_t chunk);

  record_io::Runtime& io() { return *io_; }
  // Runs one step of the layer: true when it completed, false when it ended the run with
  // the fatal diagnostic (the runtime is then shut down and must not be used again).
  template <class Step>
  bool step(Step&& body) {
    try {
      body();
      return true;
    } catch (const RunEnded& e) {
      if (!e.aborted) fail("a reading stopped the run normally", {});
      return false;
    }
  }
  // Everything written to standard output; writes out what is still pending first.
  const std::string& screen();
  const std::string& errors() const { return errors_->output(); }
  // Number of writes that reached standard error.
  int error_writes() const { return errors_->writes(); }

  // Reports an invariant that does not hold and ends the target (see set_input_name).
  [[noreturn]] static void fail(std::string_view what, std::string_view detail);

 private:
  record_io::StringChannel* screen_;
  record_io::StringChannel* errors_;
  std::unique_ptr<record_io::Runtime> io_;
};

// The fatal diagnostic of a reading statement that failed as `ending` says, on `unit`
// ("" for the unnamed standard units) under the recorded format text.
std::string expected_diagnostic(const model::Ending& ending, int unit, std::string_view name,
                                std::string_view format);

// The shape every failure of a reading statement must have: four lines, the error line,
// "apparent state: unit ...", "last format: ..." and
// "lately reading sequential formatted external IO".
void check_diagnostic_shape(std::string_view text);

// Checks how a step of the layer ended against the model: `completed` is what the layer
// did; when the model says it fails, standard error must hold exactly `expected_text`,
// written in one piece. Returns false when the model leaves the ending open, so the
// caller stops comparing.
bool check_ending(const model::Ending& want, bool completed, MemoryRun& run,
                  std::string_view expected_text);

// Equal bit for bit (so +0.0 and -0.0 differ).
bool same_bits(float a, float b);
// A float for a report: hexadecimal and decimal.
std::string show(float v);
// Bytes for a report, with control and high bytes escaped.
std::string show(std::string_view bytes);

// Replaying: the name of the input, for reports. While one is set, a broken invariant
// throws InvariantBroken (after its report) instead of aborting, so that the replay can
// go on with the next input.
void set_input_name(std::string name);
struct InvariantBroken {};

}  // namespace fuzz
