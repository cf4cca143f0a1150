// Byte channels: what a unit reads from and writes to. A file or standard stream of the
// system in the program; tests put channels of their own in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace record_io {

// Which regular file a channel reaches: the device and inode on POSIX, the volume serial
// number and file index on Windows. Equal for two channels exactly when they reach the same
// file, by whatever names or links they were opened. Devices, pipes and terminals have none
// here: reading and writing one of them at once loses no file.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class ByteChannel {
 public:
  ByteChannel() = default;
  ByteChannel(const ByteChannel&) = delete;
  ByteChannel& operator=(const ByteChannel&) = delete;
  virtual ~ByteChannel() = default;

  // Reads up to size bytes; returns the count, 0 at the end of the input, -1 with errno set.
  virtual long read(char* buffer, std::size_t size) = 0;
  // Writes the size bytes; returns how many were written: all of them, or fewer with errno
  // set when writing failed.
  virtual std::size_t write(const char* data, std::size_t size) = 0;
  // A console: each record is handed on as soon as it ends.
  virtual bool interactive() const { return false; }
  // Moves the position back over n bytes read ahead but never used; false with errno set.
  virtual bool unread(std::size_t n) { return n == 0; }
  // Cuts a regular file at its current position; anything else has no length to cut.
  // False with errno set when a cut is needed and fails.
  virtual bool cut() { return true; }
  // Ends the connection; false with errno set when that fails. Never throws.
  virtual bool close() { return true; }
  // A good size for the buffer in front of this channel.
  virtual std::size_t buffer_size() const { return 64 * 1024; }
  // The line end of a record written: "\n", or "\r\n" where the system's text files
  // end lines so.
  virtual std::string_view line_end() const { return "\n"; }
  // The regular file the channel reaches; empty for anything else.
  virtual std::optional<FileIdentity> identity() const { return std::nullopt; }
};

// The process's standard streams, as channels that leave the stream open at close().
enum class StandardStream { input, output, error };
std::unique_ptr<ByteChannel> standard_stream(StandardStream which);

// How a file is opened by name.
enum class OpenStatus {
  old,      // the file must exist; it is only read
  unknown,  // opened for update at its start (for writing only when reading is refused, for
            // reading only when writing is), or created
};

struct OpenedFile {
  std::unique_ptr<ByteChannel> channel;  // null when the open failed
  int error = 0;                         // errno of the failure
  bool writable = false;
};

// The longest name open_file takes: far more than any system's longest file name.
inline constexpr std::size_t max_name_length = 65536;

// Opens the named file. A directory is refused (EISDIR), a name with a NUL byte (EINVAL),
// which the system would otherwise cut short, and a name longer than max_name_length
// (ENAMETOOLONG). A regular file opened to be written is locked against other runs
// writing it: the open waits until they have closed it, and opens again the file one of
// them put in its place meanwhile.
OpenedFile open_file(const std::string& name, OpenStatus status);

}  // namespace record_io
