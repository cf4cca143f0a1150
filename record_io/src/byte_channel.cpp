#include "record_io/byte_channel.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform.hpp"
#include "platform_files.hpp"
#include "system_channel.hpp"

namespace record_io {

SystemChannel::SystemChannel(int handle, bool owned) : handle_(handle), owned_(owned) {
  platform::HandleInfo info = platform::describe(handle_);
  regular_ = info.regular;
  interactive_ = info.interactive;
  if (!regular_ && info.block_size > 0) buffer_size_ = info.block_size;
}

SystemChannel::~SystemChannel() {
  if (owned_ && handle_ >= 0) platform::close(handle_);
}

long SystemChannel::read(char* buffer, std::size_t size) {
  return platform::read(handle_, buffer, size);
}

std::size_t SystemChannel::write(const char* data, std::size_t size) {
  return platform::write(handle_, data, size);
}

bool SystemChannel::unread(std::size_t n) {
  return n == 0 || platform::seek_back(handle_, n);
}

bool SystemChannel::cut() {
  return !regular_ || platform::truncate_here(handle_);
}

bool SystemChannel::close() {
  if (handle_ < 0) return true;
  int handle = handle_;
  handle_ = -1;
  return !owned_ || platform::close(handle);
}

std::string_view SystemChannel::line_end() const {
  return platform::line_end;
}

bool SystemChannel::rewind() {
  return platform::rewind(handle_);
}

std::optional<FileIdentity> SystemChannel::identity() const {
  platform::FileId id;
  if (handle_ < 0 || !platform::identify(handle_, id) || !id.regular) return std::nullopt;
  return FileIdentity{id.volume, id.file};
}

std::unique_ptr<ByteChannel> standard_stream(StandardStream which) {
  platform::Handle handle = platform::standard_input;
  if (which == StandardStream::output) handle = platform::standard_output;
  if (which == StandardStream::error) handle = platform::standard_error;
  return std::make_unique<SystemChannel>(handle, false);
}

int name_error(const std::string& name) {
  if (name.size() > max_name_length) return ENAMETOOLONG;
  if (name.find('\0') != std::string::npos) return EINVAL;
  return 0;
}

OpenedFile open_file(const std::string& name, OpenStatus status) {
  using platform::Access;
  OpenedFile result;
  result.error = name_error(name);
  if (result.error != 0) return result;
  int handle = -1;
  if (status == OpenStatus::old) {
    handle = platform::open(name, Access::read);
  } else {
    handle = platform::open(name, Access::update);
    if (handle >= 0) {
      result.writable = true;
    } else if (errno == ENOENT) {
      handle = platform::open(name, Access::create_update);
      result.writable = handle >= 0;
    } else if (errno != EISDIR) {
      handle = platform::open(name, Access::read);
    }
  }
  if (handle < 0) {
    result.error = errno;
    return result;
  }
  // A second run writing the same file waits for this one to close it. That run may have
  // put a new file in its place meanwhile: the lock must be held on the file the name
  // leads to, so the open is done again until it is.
  for (int again = 0; result.writable; ++again) {
    platform::lock_for_writing(handle);
    if (again == 100 || platform::leads_to(name, handle)) break;
    platform::close(handle);
    handle = platform::open(name, Access::update);
    if (handle < 0) {
      result.error = errno;
      return result;
    }
  }
  result.channel = std::make_unique<SystemChannel>(handle, true);
  return result;
}

}  // namespace record_io
