// Files written whole on Windows: a hidden named temporary file beside the target, opened
// so that it can be removed while it is open, put over the target by MoveFileEx; a console
// event (Ctrl-C, Ctrl-Break, the console closed, log-off, shut-down) removes it through the
// end list before the process ends as the event ends it. A process ended by force
// (TerminateProcess) leaves it. Names are resolved by path: the target is checked again
// just before the move.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "ending.hpp"
#include "ending_list.hpp"
#include "faults.hpp"
#include "platform_files.hpp"

namespace record_io::platform {

namespace {

int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return EINVAL;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

bool fail_with(int error) {
  errno = error;
  return false;
}

bool fail_system() {
  return fail_with(errno_of(::GetLastError()));
}

HANDLE system_handle(Handle h) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(h));
}

// --- Console events ---

// Names of temporary files to remove when the process ends, through the end list. A
// console event stops the main thread before it runs the list, but never while the main
// thread changes the list or puts a file in place (hold_off_end): the list then stands
// still, and a file is removed only if it was not put in place.
constexpr int pending_slots = 16;
std::string* pending[pending_slots] = {};

class Locked {
 public:
  Locked() { hold_off_end(true); }
  ~Locked() { hold_off_end(false); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

void remove_pending(int) {
  for (std::string* name : pending) {
    if (name) ::DeleteFileA(name->c_str());
  }
}

void watch_console() {
  static bool watched = false;
  if (watched) return;
  watched = true;
  at_end(remove_pending);
  catch_ending_signals();
}

// With the lock held.
bool add_pending(const std::string& name) {
  for (std::string*& slot : pending) {
    if (slot) continue;
    slot = new std::string(name);
    return true;
  }
  return fail_with(EMFILE);
}

// With the lock held.
void drop_pending(const std::string& name) {
  for (std::string*& slot : pending) {
    if (slot && *slot == name) {
      delete slot;
      slot = nullptr;
    }
  }
}

// --- Names ---

std::uint64_t random_number() {
  static std::uint64_t state = 0;
  if (state == 0) {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    state = (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 40) ^
            static_cast<std::uint64_t>(counter.QuadPart) ^ ::GetTickCount64();
  }
  return next_random(state);
}

constexpr int name_tries = 100;

bool is_separator(char c) {
  return c == '/' || c == '\\';
}

// The folder of `path` (up to and including its last separator, or a drive "C:"), and
// the rest.
void split(const std::string& path, std::string& folder, std::string& file_name) {
  std::size_t cut = path.size();
  while (cut > 0 && !is_separator(path[cut - 1])) --cut;
  if (cut == 0 && path.size() >= 2 && path[1] == ':') cut = 2;
  folder = path.substr(0, cut);
  file_name = path.substr(cut);
}

// Puts the file `from` in the place of `to`. The target may be held open for a moment by
// another program (a second run looking at it, a virus scanner): the move is tried again
// for up to a second while it is refused for that.
bool replace_file(const std::string& from, const std::string& to) {
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExA(from.c_str(), to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD error = ::GetLastError();
    if (attempt == 50 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
      ::SetLastError(error);
      return false;
    }
    ::Sleep(20);
  }
}

// A handle for the name through to the file, links followed, to learn what it is.
HANDLE open_to_inspect(const std::string& name) {
  return ::CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The path of the file a handle reaches, links followed ("\\?\C:\...").
bool final_path(HANDLE file, std::string& path) {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleA(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return fail_system();
    if (n < buffer.size()) {
      buffer.resize(n);
      path = buffer;
      return true;
    }
    buffer.assign(n + 1, '\0');
  }
}

// The attributes a replacing file takes over; the read-only one refuses the replacement.
constexpr DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool identify(Handle h, FileId& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  const HANDLE file = system_handle(h);
  if (file == INVALID_HANDLE_VALUE) return fail_with(EBADF);
  id.regular = ::GetFileType(file) == FILE_TYPE_DISK;
  if (!id.regular) return true;  // a console or a pipe has no file index
  if (!::GetFileInformationByHandle(file, &info)) return fail_system();
  id.volume = info.dwVolumeSerialNumber;
  id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return true;
}

bool leads_to(const std::string&, Handle) {
  return true;  // an open file cannot be replaced here
}

bool find_target(const std::string& name, Target& target) {
  target = Target{};
  target.name = name;
  target.path = name;
  // Devices and pipes by their own names (\\.\pipe\..., \\.\COM1): opening a pipe to look
  // at it would take one of its connections.
  const bool device_name = name.size() > 4 && is_separator(name[0]) && is_separator(name[1]) &&
                           name[2] == '.' && is_separator(name[3]);
  if (device_name) {
    target.kind = FileKind::other;
  } else {
    const HANDLE file = open_to_inspect(name);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) return fail_with(errno_of(error));
      target.kind = FileKind::missing;
    } else {
      BY_HANDLE_FILE_INFORMATION info{};
      const bool disk = ::GetFileType(file) == FILE_TYPE_DISK;
      bool ok = !disk || ::GetFileInformationByHandle(file, &info) || fail_system();
      // A link is followed to the file it names, which is replaced; the link stays. (Wine
      // shows a POSIX link as the file it names: the path it gives is that file's.)
      if (ok && disk && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ok = final_path(file, target.path);
      }
      const int error = errno;
      ::CloseHandle(file);
      if (!ok) return fail_with(error);
      if (!disk) {
        target.kind = FileKind::other;
      } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fail_with(EISDIR);
      } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return fail_with(EACCES);
      } else {
        target.kind = FileKind::regular;
        target.mode = info.dwFileAttributes & kept_attributes;
        target.id = {info.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                     true};
      }
    }
  }
  split(target.path, target.folder, target.file_name);
  if (target.file_name.empty()) return fail_with(EISDIR);
  return true;
}

void release_target(Target&) {}

bool create_temporary(const Target& target, Temporary& temporary) {
  watch_console();
  temporary = Temporary{};
  if (refused(Call::temporary)) return false;
  for (int k = 0; k < name_tries; ++k) {
    std::string name = temporary_name(target.folder, target.file_name, random_number());
    // Shared for deletion: the console handler can remove it while it is open.
    const HANDLE file = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return fail_with(errno_of(error));
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    bool added = false;
    {
      const Locked locked;
      added = fd >= 0 && add_pending(name);
    }
    if (!added) {
      if (fd >= 0) {
        ::_close(fd);
      } else {
        ::CloseHandle(file);
      }
      ::DeleteFileA(name.c_str());
      return fail_with(EMFILE);
    }
    temporary.handle = fd;
    temporary.name = std::move(name);
    return true;
  }
  return fail_with(EEXIST);
}

namespace {

// The file a path reaches now; false when it reaches none.
bool file_at(const std::string& path, FileId& id) {
  const HANDLE file = open_to_inspect(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  id = {info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
  return ok;
}

// Copies the whole of the file `from` over `to` in place, then cuts it there.
bool copy_in_place(const std::string& from, const std::string& to) {
  const int in = ::_open(from.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (in < 0) return false;
  const int out = ::_open(to.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  bool ok = out >= 0;
  static char block[64 * 1024];
  for (int n = 0; ok && (n = ::_read(in, block, sizeof block)) != 0;) {
    ok = n > 0 && ::_write(out, block, static_cast<unsigned>(n)) == n;
  }
  ok = ok && ::_chsize_s(out, ::_lseeki64(out, 0, SEEK_CUR)) == 0;
  const int error = errno;
  if (out >= 0) ::_close(out);
  ::_close(in);
  errno = error;
  return ok;
}

}  // namespace

bool install_temporary(Temporary& temporary, const Target& target, bool sync) {
  // Written through to the disk (FlushFileBuffers), then closed: an open file cannot be
  // renamed.
  int error = 0;
  if (sync && (refused(Call::sync) || ::_commit(temporary.handle) != 0)) error = errno;
  if (::_close(temporary.handle) != 0 && error == 0) error = errno;
  temporary.handle = -1;
  if (error == 0 && target.kind == FileKind::regular && target.mode != 0 &&
      !::SetFileAttributesA(temporary.name.c_str(), static_cast<DWORD>(target.mode))) {
    error = errno_of(::GetLastError());
  }
  // What the name leads to now: a link put there since it was checked is followed.
  std::string into = target.path;
  FileId now;
  Target moved;
  if (target.kind == FileKind::regular && file_at(target.name, now) &&
      (now.volume != target.id.volume || now.file != target.id.file) &&
      find_target(target.name, moved) && moved.kind == FileKind::regular) {
    into = moved.path;
  }
  {
    const Locked locked;
    if (error == 0) {
      if (refused(Call::rename)) {
        error = errno;
      } else if (!replace_file(temporary.name, into)) {
        error = errno_of(::GetLastError());
      }
      // A rename that cannot serve there (another volume, a file another program holds
      // open, as a second run waiting for its lock does): the bytes are copied over the
      // file in place.
      if ((error == EXDEV || error == EBUSY || error == EACCES) &&
          target.kind == FileKind::regular) {
        error = copy_in_place(temporary.name, into) ? 0 : errno;
      }
    }
    ::DeleteFileA(temporary.name.c_str());
    drop_pending(temporary.name);
  }
  temporary.name.clear();
  return error == 0 || fail_with(error);
}

void discard_temporary(Temporary& temporary, const Target&) {
  if (temporary.handle >= 0) ::_close(temporary.handle);
  temporary.handle = -1;
  if (temporary.name.empty()) return;
  const Locked locked;
  ::DeleteFileA(temporary.name.c_str());
  drop_pending(temporary.name);
  temporary.name.clear();
}

Handle create_spool() {
  char folder[MAX_PATH + 1];
  const DWORD n = ::GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH) {
    errno = ENOENT;
    return -1;
  }
  for (int k = 0; k < name_tries; ++k) {
    const std::string name = temporary_name(folder, "record_io-spool", random_number());
    // Deleted when closed: by the system when the process ends, however it ends.
    const HANDLE file =
        ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      errno = errno_of(error);
      return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (fd < 0) ::CloseHandle(file);
    return fd;
  }
  errno = EEXIST;
  return -1;
}

bool rewind(Handle h) {
  return ::_lseeki64(h, 0, SEEK_SET) == 0;
}

}  // namespace record_io::platform
