#include "twice_read.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace normalize {

long TwiceRead::read(char* buffer, std::size_t size) {
  if (replaying_) {
    const std::size_t n = std::min(size, copy_.size() - copy_pos_);
    std::memcpy(buffer, copy_.data() + copy_pos_, n);
    copy_pos_ += n;
    return static_cast<long>(n);
  }
  long n = inner_.read(buffer, size);
  if (n > 0 && mode_ == Mode::undecided) {
    // Whether the channel can be moved back decides how it is read again.
    if (inner_.unread(static_cast<std::size_t>(n))) {
      mode_ = Mode::moved_back;
      n = inner_.read(buffer, size);
    } else {
      mode_ = Mode::kept;
    }
  }
  if (n <= 0) return n;
  read_ += static_cast<std::uint64_t>(n);
  if (mode_ == Mode::kept) copy_.append(buffer, static_cast<std::size_t>(n));
  return n;
}

std::size_t TwiceRead::write(const char*, std::size_t) {
  errno = EBADF;
  return 0;
}

bool TwiceRead::rewind() {
  if (mode_ == Mode::kept) {
    replaying_ = true;
    copy_pos_ = 0;
    return true;
  }
  if (!inner_.unread(static_cast<std::size_t>(read_))) return false;
  read_ = 0;
  return true;
}

namespace {

// Reads up to size bytes, as many as the channel gives before its end; -1 on failure.
long read_full(record_io::ByteChannel& c, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const long n = c.read(buffer + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<long>(got);
}

// A channel at its start cannot move back over a byte: a file or a device with a position
// refuses the negative position (EINVAL), a pipe or terminal any move at all (ESPIPE).
bool can_move(record_io::ByteChannel& c) {
  if (c.interactive()) return false;
  errno = 0;
  return c.unread(1) || errno != ESPIPE;
}

}  // namespace

Comparison compare_bytes(record_io::ByteChannel& file, record_io::ByteChannel& other) {
  if (!can_move(other)) return Comparison::different;
  constexpr std::size_t chunk = 64 * 1024;
  std::vector<char> x(chunk);
  std::vector<char> y(chunk);
  std::size_t read_file = 0;
  std::size_t read_other = 0;
  Comparison result = Comparison::same;
  for (;;) {
    const long na = read_full(file, x.data(), chunk);
    const long nb = read_full(other, y.data(), chunk);
    if (na > 0) read_file += static_cast<std::size_t>(na);
    if (nb > 0) read_other += static_cast<std::size_t>(nb);
    if (na < 0 || nb < 0) return Comparison::failed;
    if (na != nb || std::memcmp(x.data(), y.data(), static_cast<std::size_t>(na)) != 0) {
      result = Comparison::different;
      break;
    }
    if (na == 0) break;
  }
  if (!file.unread(read_file) || !other.unread(read_other)) return Comparison::failed;
  return result;
}

}  // namespace normalize
