// The seam between the record I/O layer and the operating system. Every call the layer
// makes to the system goes through these functions, those of platform_files.hpp (files
// written whole) and those of ending.hpp (signals and the end list); platform_posix.cpp
// and platform_windows.cpp implement these, one chosen at build time, with
// platform_common.cpp for what the C and C++ libraries give alike on both. Failures return
// false or -1 with errno set, so that the diagnostic can show the system's own text for
// them. The test builds can make chosen calls fail (faults.hpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace record_io::platform {

// The line end of a record written to a file or a standard stream.
#ifdef _WIN32
inline constexpr std::string_view line_end = "\r\n";
#else
inline constexpr std::string_view line_end = "\n";
#endif

// A connection as the system numbers it.
using Handle = int;
inline constexpr Handle standard_input = 0;
inline constexpr Handle standard_output = 1;
inline constexpr Handle standard_error = 2;

struct HandleInfo {
  bool regular = false;        // a regular file: it has a length to cut
  bool interactive = false;    // a terminal or console
  std::size_t block_size = 0;  // the system's preferred transfer size; 0 when unknown
};
HandleInfo describe(Handle h);

// Reads up to size bytes; the count, 0 at the end of the input, -1 on failure.
long read(Handle h, char* buffer, std::size_t size);
// Writes the size bytes; how many were written: all, or fewer when writing failed.
std::size_t write(Handle h, const char* data, std::size_t size);
// Moves the position back over n bytes.
bool seek_back(Handle h, std::size_t n);
// Cuts the file at its current position.
bool truncate_here(Handle h);
bool close(Handle h);

enum class Access {
  read,          // an existing file, read only
  update,        // an existing file, read and written, not emptied (written only when it
                 // may not be read); a FIFO, device or socket for writing only (a reader of
                 // its own FIFO would never see a broken pipe)
  create_update  // created when missing, then as update
};
// Opens the named file; -1 on failure. A directory is refused with EISDIR.
Handle open(const std::string& name, Access access);

// Waits until no other process holds a lock on the regular file h, then holds an exclusive
// advisory lock on it until it is closed. Best effort: where the file system has no locks,
// nothing is held.
void lock_for_writing(Handle h);

// --- Memory ---

// The large pages prefer_large_pages asks for.
inline constexpr std::size_t large_page_size = std::size_t{2} << 20;
// Asks the system to back [p, p + size), whole large pages, with large pages where it
// can; best effort (none on Windows).
void prefer_large_pages(void* p, std::size_t size);

// --- The process (the signals and the end list: ending.hpp) ---

// Called once, first: any of the standard handles 0, 1 and 2 that is closed is given the
// null device, so that no file the process opens takes its number (and what would have
// gone to a closed stream is lost, as a write to it would be); the standard streams carry
// bytes unchanged (line ends are the layer's business).
void prepare_standard_streams();
// Writes text to standard error without buffering; safe in a signal handler.
void write_error_text(std::string_view text);
// Ends the process with status at once; safe in a signal handler.
[[noreturn]] void exit_now(int status);
// Ends the process abnormally through the C runtime's abort, without a message of the
// runtime's own. core_file false: no core file or crash report either (the run has said
// what went wrong); true: whatever the system's settings give for a crash.
[[noreturn]] void abort_process(bool core_file);

}  // namespace record_io::platform
