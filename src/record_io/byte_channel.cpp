#include "record_io/byte_channel.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace record_io {

FdChannel::FdChannel(int fd, bool owned) : fd_(fd), owned_(owned) {
  struct stat st {};
  if (::fstat(fd_, &st) == 0) {
    regular_ = S_ISREG(st.st_mode);
    if (!regular_ && st.st_blksize > 0) buffer_size_ = static_cast<std::size_t>(st.st_blksize);
  }
  interactive_ = ::isatty(fd_) == 1;
}

FdChannel::~FdChannel() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

long FdChannel::read(char* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

bool FdChannel::write(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FdChannel::unread(std::size_t n) {
  if (n == 0) return true;
  return ::lseek(fd_, -static_cast<off_t>(n), SEEK_CUR) >= 0;
}

bool FdChannel::cut() {
  if (!regular_) return true;
  off_t here = ::lseek(fd_, 0, SEEK_CUR);
  return here >= 0 && ::ftruncate(fd_, here) == 0;
}

bool FdChannel::close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  return !owned_ || ::close(fd) == 0;
}

namespace {

// Opens name with flags; a directory is refused with EISDIR.
int open_not_directory(const char* name, int flags) {
  int fd = ::open(name, flags | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

}  // namespace

OpenedFile open_file(const std::string& name, OpenStatus status) {
  OpenedFile result;
  if (name.find('\0') != std::string::npos) {
    result.error = EINVAL;
    return result;
  }
  int fd = -1;
  if (status == OpenStatus::old) {
    fd = open_not_directory(name.c_str(), O_RDONLY);
  } else {
    fd = open_not_directory(name.c_str(), O_RDWR);
    if (fd >= 0) {
      result.writable = true;
    } else if (errno == ENOENT) {
      fd = open_not_directory(name.c_str(), O_RDWR | O_CREAT);
      result.writable = fd >= 0;
    } else if (errno != EISDIR) {
      fd = open_not_directory(name.c_str(), O_RDONLY);
    }
  }
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  result.channel = std::make_unique<FdChannel>(fd, true);
  return result;
}

long StringChannel::read(char* buffer, std::size_t size) {
  std::size_t n = std::min({size, read_chunk_, input_.size() - read_pos_});
  std::memcpy(buffer, input_.data() + read_pos_, n);
  read_pos_ += n;
  return static_cast<long>(n);
}

bool StringChannel::write(const char* data, std::size_t size) {
  ++writes_;
  if (write_error_ != 0) {
    errno = write_error_;
    return false;
  }
  output_.append(data, size);
  return true;
}

bool StringChannel::cut() {
  if (cut_error_ != 0) {
    errno = cut_error_;
    return false;
  }
  return true;
}

}  // namespace record_io
