// Output files written whole or not at all, an anonymous copy of an input that cannot be
// read twice, and which file a channel reaches.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "record_io/byte_channel.hpp"

namespace record_io {

// Whether a and b are known and the same file.
inline bool same_file(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
  return a && b && *a == *b;
}

// A file opened to be read, as open_file with OpenStatus::old opens it, and which file it is.
struct OpenedInput {
  std::unique_ptr<ByteChannel> channel;  // null when the open failed
  int error = 0;                         // errno of the failure
  std::optional<FileIdentity> identity;  // empty for a file that is not a regular one
};
OpenedInput open_input(const std::string& name);

// Which regular file a standard stream reaches; empty for anything else.
std::optional<FileIdentity> identity_of(StandardStream which);

// The file an output name leads to, written whole or not at all.
//
// A regular file, existing or new, is written to a temporary file in its folder; commit()
// writes that through to the disk and renames it over the file, which therefore holds
// either its old bytes or all of the new ones, whatever happens meanwhile: a failed write,
// an exception, a signal that ends the process (the temporary file is removed first), or
// the process killed (the old file stays; where the system offers unnamed temporary files,
// as Linux does with /proc mounted, nothing else is left either; elsewhere the hidden
// ".NAME.XXXXXX" beside it). The file keeps its mode bits, and its owner and group where
// the system allows. A symbolic link is followed: the file it names is replaced and the
// link stays; a dangling link leads to the file it names, which is created (on Windows,
// where a dangling link cannot be followed, it is replaced by the file). On POSIX the
// folder is held from the start, so that the file checked is the one replaced.
//
// Written in place instead, and cut after the new bytes when it is a regular file: a
// device, a FIFO, a socket, a name a rename cannot reach (a mount point, such as a file
// bound into a container; a name of the system's own, such as /dev/stdout on a file), and
// a file whose folder takes no temporary file (one this process may not write). A rename
// refused at the end for the same reasons copies the new bytes over the file in place.
class FileReplacement {
 public:
  // `held`: the caller holds the file open already and writes it in place itself where
  // in_place() says so (nothing is opened in place then, and channel() is not to be
  // used); the file is replaced only when the name still leads to that very file.
  explicit FileReplacement(const std::string& name,
                           const std::optional<FileIdentity>& held = std::nullopt);
  // abandon(), unless committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // errno of the failure to start (no folder, a folder that cannot be written, a directory,
  // a file that may not be written: EACCES); 0 when channel() can be written.
  int error() const { return error_; }
  // Where the new bytes go, when error() is 0.
  ByteChannel& channel() { return *channel_; }
  // The file is written in place (see above).
  bool in_place() const { return in_place_; }
  // The file written in place, when it is a regular one nonetheless; empty otherwise.
  const std::optional<FileIdentity>& identity() const { return identity_; }

  // Puts the new bytes in place (in place: cuts a regular file after them and closes it),
  // written through to the disk first when `sync`. Everything written must have been
  // handed to channel() first. False with errno set when that fails: the file is then as
  // it was, and the temporary file is gone.
  // `held`: the caller's own channel on the file (see the constructor), closed too:
  // after the rename, so that its lock lasts until the new file is in place, or before it
  // where a file held open cannot be replaced (Windows).
  bool commit(bool sync = true, ByteChannel* held = nullptr);
  // Leaves the file as it was and removes the temporary file (in place: closes the file).
  void abandon();

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::unique_ptr<ByteChannel> channel_;
  std::optional<FileIdentity> identity_;
  int error_ = 0;
  bool in_place_ = false;
  bool open_ = false;
};

class SystemChannel;

// A copy of what was read from a channel that cannot be read twice (a pipe, a terminal),
// kept in an anonymous temporary file rather than in memory (on POSIX in TMPDIR, or /tmp;
// on Windows in the folder GetTempPath gives). Nothing is left of it once it is closed,
// however the process ends (on POSIX without unnamed files, but for a kill in the moment
// between its making and the removal of its name). What is written is read back from its
// start after rewind(). Its reads and writes are a system channel's.
class Spool final : public ByteChannel {
 public:
  Spool();
  ~Spool() override;

  // errno of the failure to make the file; 0 when it was made.
  int error() const { return error_; }

  long read(char* buffer, std::size_t size) override;
  std::size_t write(const char* data, std::size_t size) override;
  bool close() override;
  std::size_t buffer_size() const override { return 256 * 1024; }
  // Moves to the start, for reading what was written; false with errno set.
  bool rewind();

 private:
  std::unique_ptr<SystemChannel> file_;
  int error_ = 0;
};

}  // namespace record_io
