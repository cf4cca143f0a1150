// Numbered I/O units and the one fatal path: the record I/O layer's core, as the program and
// its tests see it. Statements (ListWrite, FormattedRead, FormattedWrite, ListRead) run on a
// Runtime.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>

#include "record_io/byte_channel.hpp"
#include "record_io/errors.hpp"

namespace record_io {

class RuntimeCore;
class TextReader;
class TextWriter;
class Unit;

namespace detail {

// The last statement begun in full, while nothing else has happened since: a statement
// like it on the same unit may begin at once. A formatted write statement under a format
// with a fixed layout, after one like it, builds its record in the unit's output buffer;
// a list-directed read statement after one on the same unit reads from its reader. The
// core forgets both when any other statement begins, when a read reaches the end of its
// file, and at every open, close, failure and end.
struct QuickStatement {
  // Wider than a unit number, so that no number a statement is given matches `none`.
  static constexpr std::int64_t none = std::numeric_limits<std::int64_t>::min();
  std::int64_t write_unit = none;
  std::int64_t read_unit = none;
  Unit* connection = nullptr;
  TextWriter* writer = nullptr;
  TextReader* reader = nullptr;
};

}  // namespace detail

// How a run ends, for the exit hook: normally (the stop, the process's exit), by a reported
// failure, or by a signal (the hook then runs in the signal handler).
enum class Ending { normal, failure, signal };

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
  // A regular file is written whole: its first write starts a temporary file in its
  // folder (when nothing was read from it first), which replaces the file at close, so
  // that until then the file holds what it held. Where a rename cannot serve (a file a
  // rename cannot reach, a folder that takes no temporary file), the file is written in
  // place from its first write, cut there first. A file that is standard output's or
  // standard error's own is written through that stream's buffer, after what the run
  // wrote there and in order with it.
  void open(int unit, std::string_view name, OpenStatus status);
  // Disconnects `unit`, keeping the file: a replaced file is put in place; one written in
  // place is cut at the end of the last record when its last operation was a write.
  // Ends the run when writing out, putting in place or cutting fails. Closing a unit
  // that is not connected does nothing.
  void close(int unit);
  // Ends the run normally: every named unit closed as close() does (a failure reported),
  // pending output written, status 0.
  [[noreturn]] void stop();
  // The exit hook: closes every unit connected to a named file and writes out pending
  // standard output, ignoring failures. Ending::normal puts replaced files in place (and
  // cuts those written in place after their last record); a failure or a signal leaves
  // replaced files as they were (the temporary file removed: by the exit hook after a
  // failure, by the end list after a signal). Runs once; a signal during a normal one
  // finishes its work. Ending::signal is safe in a signal handler: it only hands whole
  // records to the system and cuts files, and closes nothing.
  void shutdown(Ending how = Ending::normal) noexcept;

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

  detail::QuickStatement quick_;
  std::unique_ptr<RuntimeCore> core_;
};

}  // namespace record_io
