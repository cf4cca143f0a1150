// Numbered I/O units and the state every statement shares: the record I/O layer's core.
#pragma once

#include <array>
#include <cerrno>
#include <csignal>
#include <memory>
#include <string>
#include <string_view>

#include "record_io/byte_channel.hpp"
#include "record_io/diagnostic.hpp"
#include "record_io/errors.hpp"
#include "record_io/format.hpp"
#include "record_io/record_buffer.hpp"
#include "record_io/text_reader.hpp"
#include "record_io/text_writer.hpp"

namespace record_io {

// One I/O unit: a connection to a standard stream or to a named file.
struct Unit {
  std::unique_ptr<ByteChannel> channel;  // null: not connected
  std::unique_ptr<TextReader> reader;
  std::unique_ptr<TextWriter> writer;
  std::string name;    // the file's name; meaningful when named
  bool named = false;  // false for the standard streams
  bool readable = false;
  bool writable = false;
  bool at_end = false;           // a read reached the end of a file without a final line feed
  bool last_was_write = false;   // the last operation wrote: the file is cut at close
  bool closed_for_exit = false;  // released by the exit hook (objects kept alive)
};

// How the process ends; tests put functions that throw in their place.
struct ProcessEnds {
  void (*stop)();   // normal end, status 0: never returns
  void (*abort)();  // abnormal end: never returns
};

// The unit table, the recorded state of the last statement and the one fatal path.
// Statements (ListWrite, FormattedRead, FormattedWrite, ListRead) run on a Runtime.
class Runtime {
 public:
  static constexpr int unit_count = 100;
  static constexpr int error_unit = 0;
  static constexpr int input_unit = 5;
  static constexpr int output_unit = 6;

  // Connects unit 0 to `error`, 5 to `input` and 6 to `output`.
  Runtime(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
          std::unique_ptr<ByteChannel> error, ProcessEnds ends);
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
  // The exit hook: closes every unit connected to a named file and writes out pending
  // standard output, ignoring failures. Runs once; safe to call from a signal handler
  // (it only hands buffers to the system and releases descriptors).
  void shutdown() noexcept;

  // Reports the failure with the fatal diagnostic on unit 0, runs the exit hook and ends
  // the run abnormally: a failure of the layer's own (number), or of the system (error,
  // the C runtime's error number).
  [[noreturn]] void fail(ErrorNumber number, const char* context) {
    report(Failure::of_layer(number, context));
  }
  [[noreturn]] void fail_system(int error, const char* context) {
    report(Failure::of_system(error, context));
  }
  [[noreturn]] void report(const Failure& failure);

  // --- For statements ---
  // Starts a statement on `unit`: records its direction and its format (nullptr: a
  // list-directed statement, which records "list io"), then checks that the unit can be
  // read (its end-of-file mark, context "read start") or written ("write start").
  Unit& begin_statement(int unit, bool reading, const Format* format) {
    // The unit of the statement before: its number and name are recorded already.
    Unit& u = unit == state_.unit && unit >= 0 ? units_[static_cast<std::size_t>(unit)]
                                               : unit_or_fail(unit, start_context(reading));
    state_.reading = reading;
    state_.format_recorded = true;
    state_.format = format ? format->text() : list_io;
    bool ready = reading ? u.readable && !u.at_end : u.writable;
    if (!u.channel || !ready || (format && !format->valid())) refuse(u, reading, format);
    return u;
  }
  // A formatted statement ends: its format is no longer recorded.
  void clear_format() { state_.format_recorded = false; }
  // The unit's reader, its pending output written out first when the unit last wrote.
  TextReader& reader(Unit& u) {
    return u.reader && !u.last_was_write ? *u.reader : start_reading(u);
  }
  // The unit's writer, the channel first moved back over what its reader read ahead when
  // the unit last read.
  TextWriter& writer(Unit& u) {
    return u.writer && u.last_was_write ? *u.writer : start_writing(u);
  }
  // Hands a finished record to the unit; ends the run when writing to a file fails.
  void put_record(Unit& u, std::string_view record) {
    // Failed writes to the standard streams go unreported; those to a file end the run.
    if (!writer(u).put(record) && u.named) fail_system(errno, "write");
  }
  // A buffer for the record a statement is building, reused from statement to statement.
  RecordBuffer& record() { return record_; }

  const StatementState& state() const { return state_; }

  // The command-line arguments, stored at start-up (the program does not use them).
  void set_arguments(int count, char** values) {
    argument_count_ = count;
    arguments_ = values;
  }
  int argument_count() const { return argument_count_; }
  const char* argument(int i) const {
    return i >= 0 && i < argument_count_ ? arguments_[i] : nullptr;
  }

 private:
  static constexpr std::string_view list_io = "list io";
  static const char* start_context(bool reading) { return reading ? "read start" : "write start"; }

  Unit& unit_or_fail(int number, const char* context);
  // Ends the run with the reason the statement cannot start on u.
  [[noreturn]] void refuse(const Unit& u, bool reading, const Format* format);
  TextReader& start_reading(Unit& u);
  TextWriter& start_writing(Unit& u);
  void release(Unit& u);

  std::array<Unit, unit_count> units_;
  StatementState state_;
  ProcessEnds ends_;
  RecordBuffer record_;
  volatile std::sig_atomic_t shut_down_ = 0;
  int argument_count_ = 0;
  char** arguments_ = nullptr;
};

}  // namespace record_io
