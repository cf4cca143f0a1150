// A byte channel on a file or standard stream of the system, through the system seam.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "record_io/byte_channel.hpp"

namespace record_io {

// A channel on a file or standard stream of the system.
class SystemChannel final : public ByteChannel {
 public:
  // owned: the connection is ended by close().
  SystemChannel(int handle, bool owned);
  ~SystemChannel() override;

  long read(char* buffer, std::size_t size) override;
  std::size_t write(const char* data, std::size_t size) override;
  bool interactive() const override { return interactive_; }
  bool unread(std::size_t n) override;
  bool cut() override;
  bool close() override;
  std::size_t buffer_size() const override { return buffer_size_; }
  std::string_view line_end() const override;
  std::optional<FileIdentity> identity() const override;
  // Moves to the start of the file; false with errno set.
  bool rewind();

 private:
  int handle_;
  bool owned_;
  bool regular_ = false;
  bool interactive_ = false;
  std::size_t buffer_size_ = 64 * 1024;
};

// errno for a name no file is opened by: one holding a NUL byte, which the system would cut
// short (EINVAL), or longer than max_name_length (ENAMETOOLONG); 0 for any other.
int name_error(const std::string& name);

}  // namespace record_io
