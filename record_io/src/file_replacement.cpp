#include "record_io/file_replacement.hpp"

#include <cerrno>

#include "platform.hpp"
#include "platform_files.hpp"
#include "system_channel.hpp"

namespace record_io {

namespace {

std::optional<FileIdentity> identity_of_handle(platform::Handle h) {
  return SystemChannel(h, false).identity();
}

}  // namespace

OpenedInput open_input(const std::string& name) {
  OpenedInput result;
  result.error = name_error(name);
  if (result.error != 0) return result;
  const platform::Handle h = platform::open(name, platform::Access::read);
  if (h < 0) {
    result.error = errno;
    return result;
  }
  result.identity = identity_of_handle(h);
  result.channel = std::make_unique<SystemChannel>(h, true);
  return result;
}

std::optional<FileIdentity> identity_of(StandardStream which) {
  switch (which) {
    case StandardStream::input:
      return identity_of_handle(platform::standard_input);
    case StandardStream::output:
      return identity_of_handle(platform::standard_output);
    case StandardStream::error:
      return identity_of_handle(platform::standard_error);
  }
  return std::nullopt;
}

struct FileReplacement::State {
  platform::Target target;
  platform::Temporary temporary;
  ~State() { platform::release_target(target); }
};

namespace {

// A temporary file cannot be made there for want of rights or of the system's support:
// the file is written in place, as any program writes it.
bool no_temporary_there(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == EINVAL ||
         error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& name, const std::optional<FileIdentity>& held)
    : state_(std::make_unique<State>()) {
  error_ = name_error(name);
  if (error_ != 0) return;
  platform::Target& target = state_->target;
  if (!platform::find_target(name, target)) {
    error_ = errno;
    return;
  }
  in_place_ = target.kind == platform::FileKind::other;
  if (held && !in_place_ &&
      (target.kind != platform::FileKind::regular ||
       FileIdentity{target.id.volume, target.id.file} != *held)) {
    in_place_ = true;  // the name no longer leads to the file held
  }
  if (!in_place_) {
    platform::Temporary& temporary = state_->temporary;
    if (platform::create_temporary(target, temporary)) {
      // The handle stays the temporary file's own: install or discard closes it.
      channel_ = std::make_unique<SystemChannel>(temporary.handle, false);
      open_ = true;
      return;
    }
    if (!no_temporary_there(errno)) {
      error_ = errno;
      return;
    }
    in_place_ = true;
  }
  if (held) return;
  const platform::Handle h = platform::open(name, target.kind == platform::FileKind::missing
                                                      ? platform::Access::create_update
                                                      : platform::Access::update);
  if (h < 0) {
    error_ = errno;
    return;
  }
  identity_ = identity_of_handle(h);
  channel_ = std::make_unique<SystemChannel>(h, true);
  open_ = true;
}

FileReplacement::~FileReplacement() {
  abandon();
}

bool FileReplacement::commit(bool sync, ByteChannel* held) {
  if (!open_) {
    errno = EBADF;
    return false;
  }
  open_ = false;
  if (in_place_) {
    const bool cut = channel_->cut();
    const int error = errno;
    if (!channel_->close()) return false;
    errno = error;
    return cut;
  }
  channel_.reset();
  bool held_closed = true;
  if (held && platform::open_files_block_renames) held_closed = held->close();
  const int error = errno;
  bool ok = platform::install_temporary(state_->temporary, state_->target, sync);
  if (!held_closed) {
    if (ok) errno = error;
    ok = false;
  }
  if (held && !platform::open_files_block_renames && !held->close() && ok) ok = false;
  return ok;
}

void FileReplacement::abandon() {
  if (!open_) return;
  open_ = false;
  if (in_place_) {
    channel_->close();
    return;
  }
  channel_.reset();
  platform::discard_temporary(state_->temporary, state_->target);
}

Spool::Spool() {
  const platform::Handle h = platform::create_spool();
  if (h < 0) {
    error_ = errno;
    return;
  }
  file_ = std::make_unique<SystemChannel>(h, true);
}

Spool::~Spool() = default;

long Spool::read(char* buffer, std::size_t size) {
  return file_ ? file_->read(buffer, size) : (errno = EBADF, -1);
}

std::size_t Spool::write(const char* data, std::size_t size) {
  return file_ ? file_->write(data, size) : (errno = EBADF, 0);
}

bool Spool::close() {
  return !file_ || file_->close();
}

bool Spool::rewind() {
  return file_ && file_->rewind();
}

}  // namespace record_io
