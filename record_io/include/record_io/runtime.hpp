// Numbered I/O units and the one fatal path: the record I/O layer's core, as the program and
// its tests see it. Statements (ListWrite, FormattedRead, FormattedWrite, ListRead) run on a
// Runtime.
#pragma once

#include <memory>
#include <string_view>

#include "record_io/byte_channel.hpp"
#include "record_io/errors.hpp"

namespace record_io {

class RuntimeCore;

// How the process ends; tests put functions that throw in their place.
struct ProcessEnds {
  void (*stop)();   // normal end, status 0: never returns
  void (*abort)();  // abnormal end: never returns
};

// The unit table, the recorded state of the last statement and the one fatal path.
class Runtime {
 public:
  static constexpr int unit_count = 100;
  static constexpr int error_unit = 0;
  static constexpr int input_unit = 5;
  static constexpr int output_unit = 6;

  // Connects unit 0 to `error`, 5 to `input` and 6 to `output`.
  Runtime(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
          std::unique_ptr<ByteChannel> error, ProcessEnds ends);
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  // Connects `unit` to the file named by `name` without its trailing blanks (leading
  // blanks stay). Ends the run on a blank name (107) or a file that cannot be opened.
  void open(int unit, std::string_view name, OpenStatus status);
  // Disconnects `unit`, keeping the file. A file whose last operation was a write is
  // first cut at the end of the last record. Ends the run when writing out or cutting
  // fails. Closing a unit that is not connected does nothing.
  void close(int unit);
  // Ends the run normally: every named unit closed, pending output written, status 0.
  [[noreturn]] void stop();
  // The exit hook: closes every unit connected to a named file (cut after its last record
  // when it was last written) and writes out pending standard output, ignoring failures.
  // Runs once; safe to call from a signal handler (it only hands buffers to the system
  // and releases descriptors).
  void shutdown() noexcept;

  // Reports the failure with the fatal diagnostic on unit 0, runs the exit hook and ends
  // the run abnormally: a failure of the layer's own (number), or of the system (error,
  // the C runtime's error number).
  [[noreturn]] void fail(ErrorNumber number, const char* context);
  [[noreturn]] void fail_system(int error, const char* context);

 private:
  // The statements reach the units through the core, and nothing else does.
  friend class ListRead;
  friend class ListWrite;
  friend class FormattedRead;
  friend class FormattedWrite;
  RuntimeCore& core() { return *core_; }

  std::unique_ptr<RuntimeCore> core_;
};

}  // namespace record_io
