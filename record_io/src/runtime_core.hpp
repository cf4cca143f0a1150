// The units of a runtime and the state every statement shares, and the one way statements
// reach them: the layer's own business.
#pragma once

#include <array>
#include <cerrno>
#include <csignal>
#include <memory>
#include <string>
#include <string_view>

#include "record_buffer.hpp"
#include "record_io/byte_channel.hpp"
#include "record_io/diagnostic.hpp"
#include "record_io/errors.hpp"
#include "record_io/file_replacement.hpp"
#include "record_io/format.hpp"
#include "record_io/runtime.hpp"
#include "record_io/text_reader.hpp"
#include "record_io/text_writer.hpp"

namespace record_io {

// One I/O unit: a connection to a standard stream or to a named file. Only the core
// changes it; statements hold it to hand it back.
class Unit {
  friend class RuntimeCore;

  std::unique_ptr<ByteChannel> channel;  // null: not connected
  std::unique_ptr<TextReader> reader;
  std::unique_ptr<TextWriter> writer;
  std::string name;    // the file's name; meaningful when named
  bool named = false;  // false for the standard streams
  bool readable = false;
  bool writable = false;
  bool at_end = false;           // a read reached the end of a file without a final line feed
  bool last_was_write = false;   // the last operation wrote: written in place, it is cut at close
  bool closed_for_exit = false;  // released by the exit hook (objects kept alive)
  // The file written whole: the writer writes to its temporary file.
  std::unique_ptr<FileReplacement> replacement;
  // The standard unit (output or error) whose file this is: written through its writer.
  int shares = -1;
};

class RuntimeCore {
 public:
  RuntimeCore(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
              std::unique_ptr<ByteChannel> error, ProcessEnds ends, detail::QuickStatement& quick);

  // --- For statements: all they may do ---
  // Starts a statement on `unit`: records its direction and its format (nullptr: a
  // list-directed statement, which records "list io"), then checks that the unit can be
  // read (its end-of-file mark, context "read start") or written ("write start").
  Unit& begin_statement(int unit, bool reading, const Format* format) {
    forget_quick_statement();
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
  // The write statement just begun on u, numbered `unit`, builds its record in `writer`'s
  // buffer under a format with a fixed layout: the next one like it may begin there at once
  // (see detail::QuickStatement).
  void remember_quick_write(int unit, Unit& u, TextWriter& writer) {
    quick_.write_unit = unit;
    quick_.connection = &u;
    quick_.writer = &writer;
  }
  // The list-directed read statement just begun on u, numbered `unit`, reads from
  // `reader`: the next one on u may begin there at once, the state as this one left it.
  void remember_quick_read(int unit, Unit& u, TextReader& reader) {
    quick_.read_unit = unit;
    quick_.connection = &u;
    quick_.reader = &reader;
  }
  // A write statement begun at once goes on as one begun in full: its format is recorded,
  // as begin_statement records it, for any failure from here on.
  void record_format(const Format& format) {
    state_.format_recorded = true;
    state_.format = format.text();
  }
  // The unit's reader, its pending output written out first when the unit last wrote.
  TextReader& reader(Unit& u) {
    return u.reader && !u.last_was_write ? *u.reader : start_reading(u);
  }
  // The unit's writer, the channel first moved back over what its reader read ahead when
  // the unit last read (and the file cut there, when it is named and written in place; a
  // named file first written before anything is read goes to its replacement instead).
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
  // A read statement on u ended at the end of its input, with no line feed after the
  // last line: the next read statement on u fails ("read start"). A failed read of the
  // reader ends the run instead, in `context`.
  void reached_end(Unit& u, const char* context) {
    forget_quick_statement();
    if (u.reader && u.reader->error() != 0) fail_system(u.reader->error(), context);
    u.at_end = true;
  }
  // The input of u ended where a statement needed more: end of file, in `context` (or
  // the reader's failure).
  [[noreturn]] void input_ended(Unit& u, const char* context) {
    reached_end(u, context);
    fail(end_of_file, context);
  }
  [[noreturn]] void fail(ErrorNumber number, const char* context) {
    report(Failure::of_layer(number, context));
  }
  [[noreturn]] void fail_system(int error, const char* context) {
    report(Failure::of_system(error, context));
  }

  // --- For the runtime (see Runtime) ---
  void open(int unit, std::string_view name, OpenStatus status);
  void close(int unit);
  [[noreturn]] void stop();
  void shutdown(Ending how) noexcept;
  [[noreturn]] void report(const Failure& failure);

 private:
  static constexpr std::string_view list_io = "list io";
  static const char* start_context(bool reading) { return reading ? "read start" : "write start"; }

  Unit& unit_or_fail(int number, const char* context);
  // Ends the run with the reason the statement cannot start on u.
  [[noreturn]] void refuse(const Unit& u, bool reading, const Format* format);
  TextReader& start_reading(Unit& u);
  TextWriter& start_writing(Unit& u);
  // The channel the unit's reader and writer use: the replacement's, once there is one.
  ByteChannel& active(Unit& u) { return u.replacement ? u.replacement->channel() : *u.channel; }
  void release(Unit& u);
  void forget_quick_statement() {
    quick_.write_unit = detail::QuickStatement::none;
    quick_.read_unit = detail::QuickStatement::none;
  }

  std::array<Unit, Runtime::unit_count> units_;
  StatementState state_;
  ProcessEnds ends_;
  detail::QuickStatement& quick_;
  RecordBuffer record_;
  volatile std::sig_atomic_t shut_down_ = 0;
};

}  // namespace record_io
