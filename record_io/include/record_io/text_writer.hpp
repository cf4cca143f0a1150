// Buffered writing of records to a byte channel.
#pragma once

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "record_io/byte_channel.hpp"

namespace record_io {

// Collects whole records, each with the channel's line end, and hands them to the channel when the
// buffer fills, at flush(), or at once for an interactive channel (a console sees each record as it
// ends).
class TextWriter {
 public:
  // Writes hand the channel at least this many bytes at a time (more when it suggests
  // more), unless flushed: a large file is written in few system calls.
  static constexpr std::size_t transfer_size = 256 * 1024;

  // `hidden`: the channel is a file nobody sees before it is complete (the temporary file
  // that replaces an output). A full buffer then hands it the buffer's whole pages of
  // page_size bytes, a record cut where a page ends, so that every write starts at a page
  // of the file: the system copies to such pages faster than to a page it must take up
  // again where the write before stopped. Any other channel is handed whole records.
  static constexpr std::size_t page_size = 4096;

  explicit TextWriter(ByteChannel& channel, bool hidden = false);

  // Appends the record and the channel's line end; false with errno set when a write fails.
  bool put(std::string_view record) {
    char* p = room(record.size());
    if (!p) return put_slowly(record);
    if (!record.empty()) std::memcpy(p, record.data(), record.size());  // data() may be null
    commit(record.size());
    return true;
  }
  // Space for a record of n characters and its line end at the end of the buffer, for a
  // statement to build the record in place; nullptr when the buffer lacks the room or the
  // channel is interactive. Nothing there is handed on before commit().
  char* room(std::size_t n) {
    return used_ + n + 2 <= capacity_ && !interactive_ ? buffer_.get() + used_ : nullptr;
  }
  // The record of n characters built in room() is done: it joins the buffer, with its
  // line end.
  void commit(std::size_t n) {
    char* end = buffer_.get() + used_ + n;
    if (crlf_) *end++ = '\r';
    *end++ = '\n';
    // A signal handler that writes the buffer out sees whole records only.
    std::atomic_signal_fence(std::memory_order_release);
    used_ = static_cast<std::size_t>(end - buffer_.get());
  }
  // Hands everything buffered to the channel; false with errno set when that fails, the
  // channel then left just after the last whole record it took (where it can move back).
  // The buffer is emptied only once the channel has taken it.
  bool flush();
  // A flush is under way: a signal handler that interrupts it must not write the buffer
  // again.
  bool flushing() const { return flushing_ != 0; }

 private:
  bool put_slowly(std::string_view record);
  // Hands on what is buffered, or for a hidden channel its whole pages, so that a record
  // of `need` bytes (with its line end) fits after what stays; false with errno set when
  // the channel failed.
  bool make_room(std::size_t need);
  // Hands the first n bytes buffered to the channel and keeps the rest, moved to the
  // buffer's start; false with errno set when the channel failed (see flush()).
  bool hand_over(std::size_t n);

  ByteChannel& channel_;
  // Not cleared first: its pages are touched as records fill them.
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  bool interactive_;
  bool crlf_;  // lines end with a carriage return and a line feed
  bool hidden_;
  volatile std::sig_atomic_t flushing_ = 0;
};

}  // namespace record_io
