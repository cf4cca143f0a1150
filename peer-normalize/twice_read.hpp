// An input read twice: once to check it, then again to write it out.
#pragma once

#include <cstdint>
#include <string>

#include "record_io/byte_channel.hpp"

namespace normalize {

// Reads through another channel. A channel the system can move back (a regular file) is
// moved back to its start for the second reading; any other (a pipe, a terminal) is kept
// in memory as the first reading goes, and the second reading comes from there.
class TwiceRead final : public record_io::ByteChannel {
 public:
  explicit TwiceRead(record_io::ByteChannel& inner) : inner_(inner) {}

  long read(char* buffer, std::size_t size) override;
  // An input only: writing fails (EBADF).
  std::size_t write(const char* data, std::size_t size) override;
  std::size_t buffer_size() const override { return inner_.buffer_size(); }

  // Starts the second reading; false with errno set when the channel cannot be moved back.
  bool rewind();
  // The second reading comes from memory: nothing else can change what it reads.
  bool in_memory() const { return mode_ == Mode::kept; }
  // The channel read through.
  record_io::ByteChannel& inner() { return inner_; }

 private:
  enum class Mode { undecided, moved_back, kept };

  record_io::ByteChannel& inner_;
  Mode mode_ = Mode::undecided;
  std::uint64_t read_ = 0;  // bytes read from inner_ since the start
  std::string copy_;
  std::size_t copy_pos_ = 0;
  bool replaying_ = false;
};

// Whether `file`, a channel that can move back, and `other`, one at its start, hold the same
// bytes from there to their ends. Both are moved back to where they were; `failed` (errno
// set) when that, or a read, fails. An `other` that cannot move (a pipe, a terminal) holds
// no file's bytes: it is `different` without being read, which might wait for ever.
enum class Comparison { different, same, failed };
Comparison compare_bytes(record_io::ByteChannel& file, record_io::ByteChannel& other);

}  // namespace normalize
