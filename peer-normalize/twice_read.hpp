// An input read twice: once to check it, then again to write it out.
#pragma once

#include <cstdint>
#include <memory>

#include "record_io/byte_channel.hpp"
#include "record_io/file_replacement.hpp"

namespace normalize {

// Reads through another channel. A channel the system can move back (a regular file) is
// moved back to its start for the second reading; any other (a pipe, a terminal) is copied,
// as the first reading goes, into an anonymous temporary file (a record_io::Spool), and the
// second reading comes from there: memory does not grow with the input.
class TwiceRead final : public record_io::ByteChannel {
 public:
  explicit TwiceRead(record_io::ByteChannel& inner) : inner_(inner) {}

  long read(char* buffer, std::size_t size) override;
  // An input only: writing fails (EBADF).
  std::size_t write(const char* data, std::size_t size) override;
  std::size_t buffer_size() const override { return inner_.buffer_size(); }

  // Starts the second reading; false with errno set when the channel cannot be moved back
  // or its copy failed.
  bool rewind();
  // errno of a failure to make or write the copy (a read then failed with it); 0 when none.
  int copy_error() const { return copy_error_; }

 private:
  enum class Mode { undecided, moved_back, copied };

  long keep(const char* buffer, long n);

  record_io::ByteChannel& inner_;
  Mode mode_ = Mode::undecided;
  std::uint64_t read_ = 0;  // bytes read from inner_ since the start
  std::unique_ptr<record_io::Spool> copy_;
  int copy_error_ = 0;
  bool replaying_ = false;
};

}  // namespace normalize
