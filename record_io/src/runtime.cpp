#include "record_io/runtime.hpp"

#include <cerrno>
#include <cstdlib>

#include "record_io/format.hpp"
#include "runtime_core.hpp"

namespace record_io {

namespace {

// A replaced file is not written through to the disk before it is renamed into place: that
// costs about a tenth of a 3 x 999999-point merge (16 to 25 ms more on 155) and doubles a
// 3 x 33000-point one (7 ms on 8). A run ending in any way still leaves the old file or
// the new one whole; only a crash of the whole system soon after a run may leave the new
// one short where the file system does not write a file's data before a rename over
// another (ext4, by default, does).
constexpr bool sync_before_rename = false;

}  // namespace

Runtime::Runtime(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
                 std::unique_ptr<ByteChannel> error, ProcessEnds ends)
    : core_(std::make_unique<RuntimeCore>(std::move(input), std::move(output), std::move(error),
                                          ends, quick_)) {}

Runtime::~Runtime() = default;

void Runtime::open(int unit, std::string_view name, OpenStatus status) {
  core_->open(unit, name, status);
}

void Runtime::close(int unit) {
  core_->close(unit);
}

void Runtime::stop() {
  core_->stop();
}

void Runtime::shutdown(Ending how) noexcept {
  core_->shutdown(how);
}

void Runtime::fail(ErrorNumber number, const char* context) {
  core_->fail(number, context);
}

void Runtime::fail_system(int error, const char* context) {
  core_->fail_system(error, context);
}

RuntimeCore::RuntimeCore(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
                         std::unique_ptr<ByteChannel> error, ProcessEnds ends,
                         detail::QuickStatement& quick)
    : ends_(ends), quick_(quick) {
  units_[Runtime::error_unit].channel = std::move(error);
  units_[Runtime::error_unit].writable = true;
  units_[Runtime::input_unit].channel = std::move(input);
  units_[Runtime::input_unit].readable = true;
  units_[Runtime::output_unit].channel = std::move(output);
  units_[Runtime::output_unit].writable = true;
}

Unit& RuntimeCore::unit_or_fail(int number, const char* context) {
  if (number < 0 || number >= Runtime::unit_count) {
    state_.unit = -1;
    fail(illegal_unit_number, context);
  }
  Unit& u = units_[static_cast<std::size_t>(number)];
  state_.unit = number;
  state_.unit_named = u.named;
  state_.unit_name = u.name;
  return u;
}

void RuntimeCore::open(int unit, std::string_view name, OpenStatus status) {
  forget_quick_statement();
  Unit& u = unit_or_fail(unit, "open");
  if (u.channel) close(unit);
  std::size_t length = name.find_last_not_of(' ');
  name = name.substr(0, length == std::string_view::npos ? 0 : length + 1);
  // The unit names the file as opened, even when the name is empty.
  u.name.assign(name);
  u.named = true;
  state_.unit_named = true;
  state_.unit_name = u.name;
  if (name.empty()) fail(null_file_name, "open");
  OpenedFile file = open_file(u.name, status);
  if (!file.channel) fail_system(file.error, "open");
  u.channel = std::move(file.channel);
  u.readable = true;
  u.writable = file.writable;
  u.at_end = false;
  u.last_was_write = false;
  u.shares = -1;
  // Standard output's or standard error's own file is written after what the run wrote
  // there: through the stream's buffer, never over it from its start.
  if (const auto identity = u.writable ? u.channel->identity() : std::nullopt) {
    for (int standard : {Runtime::output_unit, Runtime::error_unit}) {
      const Unit& s = units_[static_cast<std::size_t>(standard)];
      if (s.channel && s.channel->identity() == identity) u.shares = standard;
    }
  }
}

void RuntimeCore::close(int unit) {
  forget_quick_statement();
  Unit& u = unit_or_fail(unit, "close");
  if (!u.channel) return;
  bool wrote = u.last_was_write;
  if (u.writer && !u.writer->flush()) fail_system(errno, "write");
  // The records written through a standard stream's buffer go out now, reported as the
  // file's when that fails.
  if (Unit* s = u.shares >= 0 ? &units_[static_cast<std::size_t>(u.shares)] : nullptr;
      s && s->writer && !s->writer->flush()) {
    fail_system(errno, "write");
  }
  if (u.replacement) {
    u.reader.reset();
    u.writer.reset();
    if (!u.replacement->commit(sync_before_rename, u.channel.get())) fail_system(errno, "write");
  } else if (wrote && u.shares < 0 && !u.channel->cut()) {
    fail(truncation_failed, "endfile");
  }
  if (!u.channel->close() && wrote) fail_system(errno, "write");
  release(u);
  state_.unit_named = false;
  state_.unit_name = {};
}

void RuntimeCore::release(Unit& u) {
  u.reader.reset();
  u.writer.reset();
  u.replacement.reset();
  u.channel.reset();
  u.shares = -1;
  u.name.clear();
  u.named = u.readable = u.writable = u.at_end = u.last_was_write = false;
}

void RuntimeCore::stop() {
  // A file not yet put in place is put there now, and a failure to do it reported.
  for (int unit = 0; unit < Runtime::unit_count; ++unit) {
    if (units_[static_cast<std::size_t>(unit)].replacement) close(unit);
  }
  shutdown(Ending::normal);
  ends_.stop();
  std::abort();  // not reached
}

void RuntimeCore::shutdown(Ending how) noexcept {
  forget_quick_statement();
  if (shut_down_) return;
  const bool in_handler = how == Ending::signal;
  for (Unit& u : units_) {
    if (!u.named || !u.channel || u.closed_for_exit) continue;
    // A writer caught in the middle of a flush by a signal is not written again: what it
    // handed on went out whole or is moved back over by the flush it interrupts.
    const bool can_flush = u.writer && !u.writer->flushing();
    if (u.replacement) {
      // After a signal the temporary file is the end list's to remove: nothing to do.
      if (!in_handler) {
        if (how == Ending::normal && can_flush && u.writer->flush()) {
          u.writer.reset();
          u.reader.reset();
          u.replacement->commit(sync_before_rename, u.channel.get());
        } else {
          u.writer.reset();
          u.reader.reset();
          u.replacement->abandon();
        }
      }
    } else {
      if (can_flush) u.writer->flush();
      if (u.last_was_write && u.shares < 0) u.channel->cut();
    }
    // In a signal handler, the process's end closes the files.
    if (!in_handler) u.channel->close();
    u.closed_for_exit = true;
  }
  for (int standard : {Runtime::output_unit, Runtime::error_unit}) {
    Unit& s = units_[static_cast<std::size_t>(standard)];
    if (s.writer && !s.writer->flushing()) s.writer->flush();
  }
  // Marked done only now: a signal during a normal end's work finishes it.
  shut_down_ = 1;
}

void RuntimeCore::report(const Failure& failure) {
  forget_quick_statement();
  if (Unit& err = units_[Runtime::error_unit]; err.channel) {
    // Records of a file that is standard error's own go out before the report.
    if (err.writer) err.writer->flush();
    std::string text = diagnostic_text(failure, state_, err.channel->line_end());
    err.channel->write(text.data(), text.size());
  }
  shutdown(Ending::failure);
  ends_.abort();
  std::abort();  // not reached
}

void RuntimeCore::refuse(const Unit& u, bool reading, const Format* format) {
  const char* start = start_context(reading);
  if (!u.channel) fail(unit_not_connected, start);
  if (format && !format->valid()) fail(error_in_format, "fmt");
  if (!reading) fail(cant_write_file, start);
  if (u.at_end) fail(end_of_file, start);
  fail_system(EBADF, start);
}

TextReader& RuntimeCore::start_reading(Unit& u) {
  if (u.writer && !u.writer->flush()) fail_system(errno, "write");
  if (!u.reader) u.reader = std::make_unique<TextReader>(active(u));
  u.last_was_write = false;
  return *u.reader;
}

TextWriter& RuntimeCore::start_writing(Unit& u) {
  if (u.shares >= 0) {
    u.last_was_write = true;
    return writer(units_[static_cast<std::size_t>(u.shares)]);
  }
  if (u.reader && u.reader->read_ahead() > 0) {
    if (!u.channel->unread(u.reader->read_ahead())) fail_system(errno, "write start");
    u.reader->drop_read_ahead();
  }
  // The first write to a named file that was not read: the new records go to a temporary
  // file that replaces it at close, where a rename can serve.
  if (u.named && !u.writer && !u.reader && !u.replacement) {
    if (const auto identity = u.channel->identity()) {
      auto replacement = std::make_unique<FileReplacement>(u.name, identity);
      // No temporary file for want of space or of the folder: the write fails.
      if (replacement->error() != 0) fail_system(replacement->error(), "write");
      if (!replacement->in_place()) u.replacement = std::move(replacement);
    }
  }
  // Written in place: what the file held from here on can only be followed by new records.
  // It goes now, so that a run killed while it writes leaves whole new records, nothing
  // old after them.
  if (u.named && !u.replacement && !u.channel->cut()) fail(truncation_failed, "endfile");
  if (!u.writer) u.writer = std::make_unique<TextWriter>(active(u), u.replacement != nullptr);
  u.last_was_write = true;
  return *u.writer;
}

}  // namespace record_io
