#include "record_io/runtime.hpp"

#include <cerrno>
#include <cstdlib>

#include "record_io/format.hpp"
#include "runtime_core.hpp"

namespace record_io {

Runtime::Runtime(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
                 std::unique_ptr<ByteChannel> error, ProcessEnds ends)
    : core_(std::make_unique<RuntimeCore>(std::move(input), std::move(output), std::move(error),
                                          ends)) {}

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

void Runtime::shutdown() noexcept {
  core_->shutdown();
}

void Runtime::fail(ErrorNumber number, const char* context) {
  core_->fail(number, context);
}

void Runtime::fail_system(int error, const char* context) {
  core_->fail_system(error, context);
}

RuntimeCore::RuntimeCore(std::unique_ptr<ByteChannel> input, std::unique_ptr<ByteChannel> output,
                         std::unique_ptr<ByteChannel> error, ProcessEnds ends)
    : ends_(ends) {
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
}

void RuntimeCore::close(int unit) {
  Unit& u = unit_or_fail(unit, "close");
  if (!u.channel) return;
  bool wrote = u.last_was_write;
  if (u.writer && !u.writer->flush()) fail_system(errno, "write");
  if (wrote && !u.channel->cut()) fail(truncation_failed, "endfile");
  if (!u.channel->close() && wrote) fail_system(errno, "write");
  release(u);
  state_.unit_named = false;
  state_.unit_name = {};
}

void RuntimeCore::release(Unit& u) {
  u.reader.reset();
  u.writer.reset();
  u.channel.reset();
  u.name.clear();
  u.named = u.readable = u.writable = u.at_end = u.last_was_write = false;
}

void RuntimeCore::stop() {
  shutdown();
  ends_.stop();
  std::abort();  // not reached
}

void RuntimeCore::shutdown() noexcept {
  if (shut_down_) return;
  shut_down_ = 1;
  for (Unit& u : units_) {
    if (!u.named || !u.channel || u.closed_for_exit) continue;
    if (u.writer) u.writer->flush();
    if (u.last_was_write) u.channel->cut();
    u.channel->close();
    u.closed_for_exit = true;
  }
  if (Unit& out = units_[Runtime::output_unit]; out.writer) out.writer->flush();
}

void RuntimeCore::report(const Failure& failure) {
  if (Unit& err = units_[Runtime::error_unit]; err.channel) {
    std::string text = diagnostic_text(failure, state_, err.channel->line_end());
    err.channel->write(text.data(), text.size());
  }
  shutdown();
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
  if (!u.reader) u.reader = std::make_unique<TextReader>(*u.channel);
  u.last_was_write = false;
  return *u.reader;
}

TextWriter& RuntimeCore::start_writing(Unit& u) {
  if (u.reader && u.reader->read_ahead() > 0) {
    if (!u.channel->unread(u.reader->read_ahead())) fail_system(errno, "write start");
    u.reader->drop_read_ahead();
  }
  // What the file held from here on can only be followed by new records: it goes now,
  // so that a run killed while it writes leaves whole new records, nothing old after them.
  if (u.named && !u.channel->cut()) fail(truncation_failed, "endfile");
  if (!u.writer) u.writer = std::make_unique<TextWriter>(*u.channel);
  u.last_was_write = true;
  return *u.writer;
}

}  // namespace record_io
