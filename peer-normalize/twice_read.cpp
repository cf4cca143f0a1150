#include "twice_read.hpp"

#include <cerrno>

namespace normalize {

long TwiceRead::read(char* buffer, std::size_t size) {
  if (replaying_) return copy_->read(buffer, size);
  long n = inner_.read(buffer, size);
  if (n > 0 && mode_ == Mode::undecided) {
    // Whether the channel can be moved back decides how it is read again.
    if (inner_.unread(static_cast<std::size_t>(n))) {
      mode_ = Mode::moved_back;
      n = inner_.read(buffer, size);
    } else {
      mode_ = Mode::copied;
      copy_ = std::make_unique<record_io::Spool>();
      if (copy_->error() != 0) {
        copy_error_ = copy_->error();
        errno = copy_error_;
        return -1;
      }
    }
  }
  if (n <= 0) return n;
  read_ += static_cast<std::uint64_t>(n);
  return mode_ == Mode::copied ? keep(buffer, n) : n;
}

long TwiceRead::keep(const char* buffer, long n) {
  const auto size = static_cast<std::size_t>(n);
  if (copy_->write(buffer, size) == size) return n;
  copy_error_ = errno;
  return -1;
}

std::size_t TwiceRead::write(const char*, std::size_t) {
  errno = EBADF;
  return 0;
}

bool TwiceRead::rewind() {
  if (mode_ == Mode::copied) {
    if (copy_error_ != 0) {
      errno = copy_error_;
      return false;
    }
    replaying_ = true;
    return copy_->rewind();
  }
  if (!inner_.unread(static_cast<std::size_t>(read_))) return false;
  read_ = 0;
  return true;
}

}  // namespace normalize
