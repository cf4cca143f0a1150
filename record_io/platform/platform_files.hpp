// The system seam for files written whole: a temporary file beside the file it replaces,
// put in its place by a rename once it is complete and on the disk; an anonymous temporary
// file for a copy; which file a handle reaches. A temporary file's removal when a signal
// ends the process is an action of the end list (ending.hpp). platform_files_posix.cpp
// and platform_files_windows.cpp implement it, one chosen at build time. As in
// platform.hpp, failures return false or -1 with errno set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform.hpp"

namespace record_io::platform {

// Which file a handle reaches: the device and inode on POSIX, the volume serial number
// and file index on Windows. Two handles reach the same file exactly when these are equal.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool regular = false;  // a regular file (not a device, a pipe, a terminal)
};
bool identify(Handle h, FileId& id);
// `name` leads to the file h reaches, or to nothing (always true where an open file
// cannot be replaced, as on Windows).
bool leads_to(const std::string& name, Handle h);

enum class FileKind {
  missing,  // nothing of that name yet: the file is created
  regular,  // replaced whole
  other,    // a device, a FIFO, another file that is not a regular one, or a regular one a
            // rename cannot replace (a mount point, a name of the system's own such as
            // /dev/stdout on a file no name reaches): written in place
};

// The file an output name leads to.
struct Target {
  FileKind kind = FileKind::missing;
  std::string name;  // as given
  // The file itself: the name with its symbolic links followed. A dangling link leads to
  // the file it names, which is then created; the link stays a link.
  std::string path;
  // path up to and including its last separator ("" for a name in the working folder),
  // and the rest: a temporary file is made in the same folder, so that a rename can put
  // it in place.
  std::string folder;
  std::string file_name;
  // POSIX: the folder, open from find_target to release_target, so that the file checked
  // there is the one replaced whatever is renamed meanwhile above it; -1 elsewhere.
  Handle folder_handle = -1;
  // For a regular file: which file it is, and what the file that replaces it is given
  // (mode, owner and group; opaque to the layer).
  FileId id;
  std::uint64_t mode = 0;
  std::int64_t owner = -1;
  std::int64_t group = -1;
};

// A file held open cannot be renamed over (Windows): who holds it must close it first.
#ifdef _WIN32
inline constexpr bool open_files_block_renames = true;
#else
inline constexpr bool open_files_block_renames = false;
#endif

// Finds what `name` leads to. Refused: a directory (EISDIR), a regular file that this
// process may not write (EACCES), a name that cannot be followed (the system's error).
bool find_target(const std::string& name, Target& target);
// Lets go of what find_target holds.
void release_target(Target& target);

// A temporary file being written.
struct Temporary {
  Handle handle = -1;
  // Its name in target.folder (on Windows, with the folder before it); empty while it has
  // none (Linux O_TMPFILE: it gets one only at install).
  std::string name;
};

// Creates a temporary file in target.folder, for reading and writing: an unnamed one where
// the system offers it (nothing is left of it however the process ends), otherwise one
// named ".NAME.XXXXXX" after the target. Until it is installed or discarded, a signal that
// ends the process (any of the catchable ones whose action is still the default) removes
// it, through the end list; a kill leaves a named one behind.
bool create_temporary(const Target& target, Temporary& temporary);

// Puts the temporary file in place of the target: gives it the target's owner and group
// (where the system allows; failures are ignored) and mode bits (a new file has those a
// new file gets), writes it through to the disk when `sync`, closes it and renames it over
// the target. A target replaced by a symbolic link since find_target is followed. Where
// the rename is refused because it cannot be done there (a mount point: EBUSY; another
// file system: EXDEV; a file system without renames), the bytes are copied over the
// target in place, which is then cut after them. On failure the target is left as it was
// (but for a failed copy in place) and the temporary file is gone.
bool install_temporary(Temporary& temporary, const Target& target, bool sync);

// Closes the temporary file and removes it. Not for a signal handler.
void discard_temporary(Temporary& temporary, const Target& target);

// An anonymous temporary file for reading and writing, in the system's folder for them
// (TMPDIR, or /tmp; on Windows the folder GetTempPath gives): nothing is left of it once
// it is closed, however the process ends (on POSIX without unnamed files it has a name
// for a moment, with signals blocked: only a kill in that moment leaves it).
Handle create_spool();

// The position back to the start of the file.
bool rewind(Handle h);

// --- What both implementations share ---

// The next number of a splitmix64 sequence: names of temporary files drawn from it differ
// from those of other processes (the seed holds the process's number and the time) and
// from earlier ones.
inline std::uint64_t next_random(std::uint64_t& state) {
  std::uint64_t z = state += 0x9E3779B97F4A7C15U;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
  return z ^ (z >> 31);
}

// "FOLDER.NAME.XXXXXX": hidden beside the file it stands for, NAME cut short where a long
// one would make the name too long for the folder, XXXXXX six letters and digits.
inline std::string temporary_name(const std::string& folder, const std::string& file_name,
                                  std::uint64_t random) {
  constexpr std::size_t longest_kept = 200;
  static constexpr char symbols[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = folder + "." + file_name.substr(0, longest_kept) + ".";
  for (int k = 0; k < 6; ++k, random /= 62) name += symbols[random % 62];
  return name;
}

}  // namespace record_io::platform
