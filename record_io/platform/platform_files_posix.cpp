// Files written whole on POSIX systems: the temporary file is an unnamed one (Linux
// O_TMPFILE) where the folder's file system makes them, linked into place at the end, and a
// hidden named one elsewhere; a rename puts it over the target (an exchange and a removal,
// over an empty one). Every step after find_target works through the target's folder
// handle (openat, linkat, renameat, unlinkat).
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "ending.hpp"
#include "faults.hpp"
#include "platform_files.hpp"

namespace record_io::platform {

namespace {

// --- Signals ---

// Temporary files to remove when the process ends, by folder and name. Changed only while
// every signal is blocked, so that the end list never sees a change half made.
struct Pending {
  int folder;
  char* name;  // null: a free slot
};
constexpr int pending_slots = 16;
volatile Pending pending[pending_slots] = {};

class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    ::sigprocmask(SIG_BLOCK, &all, &before_);
  }
  ~SignalsBlocked() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  sigset_t before_;
};

// With signals blocked.
bool add_pending(int folder, const std::string& name) {
  for (volatile Pending& slot : pending) {
    if (slot.name) continue;
    auto* copy = new char[name.size() + 1];
    name.copy(copy, name.size());
    copy[name.size()] = '\0';
    slot.folder = folder;
    slot.name = copy;
    return true;
  }
  errno = EMFILE;
  return false;
}

// With signals blocked.
void drop_pending(int folder, const std::string& name) {
  for (volatile Pending& slot : pending) {
    if (slot.name && slot.folder == folder && name == slot.name) {
      char* copy = slot.name;
      slot.name = nullptr;
      delete[] copy;
    }
  }
}

// The end list's action: only unlinkat, safe in a signal handler.
void remove_pending(int) {
  for (const volatile Pending& slot : pending) {
    if (slot.name) ::unlinkat(slot.folder, slot.name, 0);
  }
}

void watch_signals() {
  static bool watched = false;
  if (watched) return;
  watched = true;
  at_end(remove_pending);
  catch_ending_signals();
}

// --- Names ---

std::uint64_t random_number() {
  static std::uint64_t state = 0;
  if (state == 0) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    state = (static_cast<std::uint64_t>(::getpid()) << 40) ^
            static_cast<std::uint64_t>(now.tv_sec) * 1000000007U ^
            static_cast<std::uint64_t>(now.tv_nsec);
  }
  return next_random(state);
}

// How many names are tried before giving up (each one taken already: EEXIST).
constexpr int name_tries = 100;

// The folder of `path` (up to and including its last '/'), and the rest.
void split(const std::string& path, std::string& folder, std::string& file_name) {
  const std::size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  file_name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool read_link(int folder, const std::string& path, std::string& text) {
  for (std::size_t size = 256;; size *= 2) {
    std::unique_ptr<char[]> buffer(new char[size]);
    const ssize_t n = ::readlinkat(folder, path.c_str(), buffer.get(), size);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < size) {
      text.assign(buffer.get(), static_cast<std::size_t>(n));
      return true;
    }
  }
}

// `name` with its symbolic links followed, to a file that is not a link or to the name a
// dangling link gives. A link's text is taken from where the link is: a relative one
// from the link's folder, an absolute one as it stands.
bool follow_links(const std::string& name, std::string& path) {
  constexpr int longest_chain = 40;
  path = name;
  for (int depth = 0; depth < longest_chain; ++depth) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    std::string link;
    if (!read_link(AT_FDCWD, path, link)) return false;
    if (link.empty()) {
      errno = ENOENT;
      return false;
    }
    if (link.front() == '/') {
      path = link;
    } else {
      std::string folder;
      std::string ignored;
      split(path, folder, ignored);
      path = folder + link;
    }
  }
  errno = ELOOP;
  return false;
}

bool fail_with(int error) {
  errno = error;
  return false;
}

// The folder, open for the calls "at" it: for reading where it may be read (so that it
// can be synced), otherwise only as a place (O_PATH).
int open_folder(const std::string& folder) {
  const char* name = folder.empty() ? "." : folder.c_str();
  int fd = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
  if (fd < 0 && errno == EACCES) fd = ::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC);
#endif
  return fd;
}

// The file `file_name` of the folder is a mount point: a rename cannot replace it.
bool mount_point(int folder, const std::string& file_name, const struct stat& file) {
  struct stat here {};
  if (::fstat(folder, &here) == 0 && here.st_dev != file.st_dev) return true;
#if defined(STATX_MNT_ID) && defined(AT_EMPTY_PATH)
  // A file bound onto another of the same file system keeps its device: the mount ids
  // tell them apart.
  struct statx a {};
  struct statx b {};
  if (::statx(folder, file_name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &a) == 0 &&
      ::statx(folder, "", AT_EMPTY_PATH, STATX_MNT_ID, &b) == 0 &&
      (a.stx_mask & b.stx_mask & STATX_MNT_ID) != 0) {
    return a.stx_mnt_id != b.stx_mnt_id;
  }
#else
  (void)file_name;
#endif
  return false;
}

#ifdef O_TMPFILE
std::string descriptor_path(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// Gives the unnamed file a name in the folder; EEXIST when that name is taken.
bool link_unnamed(int fd, int folder, const std::string& name) {
#ifdef AT_EMPTY_PATH
  // Needs a capability most processes lack; the way through /proc serves the others.
  if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
#endif
  return ::linkat(AT_FDCWD, descriptor_path(fd).c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) ==
         0;
}
#endif

// The rename is refused because renames cannot serve there, not because of the files.
bool rename_cannot_serve(int error) {
  return error == EBUSY || error == EXDEV || error == EPERM || error == EINVAL || error == ENOSYS ||
         error == ENOTSUP || error == EOPNOTSUPP;
}

// Copies the whole of `from` over the file `file_name` of `folder`, then cuts it there.
bool copy_in_place(int from, int folder, const std::string& file_name) {
  if (::lseek(from, 0, SEEK_SET) != 0) return false;
  const int to = ::openat(folder, file_name.c_str(), O_WRONLY | O_CLOEXEC);
  if (to < 0) return false;
  static char block[64 * 1024];  // signals are blocked: one copy at a time
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(from, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ssize_t done = 0;
    while (ok && done < n) {
      const ssize_t put = ::write(to, block + done, static_cast<std::size_t>(n - done));
      if (put < 0 && errno == EINTR) continue;
      ok = put > 0;
      done += put > 0 ? put : 0;
    }
    if (!ok) break;
  }
  const off_t end = ::lseek(to, 0, SEEK_CUR);
  ok = ok && end >= 0 && ::ftruncate(to, end) == 0;
  const int error = errno;
  ok = ::close(to) == 0 && ok;
  if (!ok && errno == 0) errno = error;
  return ok;
}

// Renames the file `name` of `folder` over the target. An empty one, such as the file the
// unit's open made, is exchanged with it and then removed instead: a rename over a file
// makes ext4 write the new one out at once, for the replaced file's contents to survive a
// crash, and an empty file has none to lose. Where exchanges are not made, a rename.
bool put_in_place(int folder, const std::string& name, const Target& into) {
#ifdef RENAME_EXCHANGE
  struct stat st {};
  if (::fstatat(into.folder_handle, into.file_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(st.st_mode) && st.st_size == 0 &&
      ::renameat2(folder, name.c_str(), into.folder_handle, into.file_name.c_str(),
                  RENAME_EXCHANGE) == 0) {
    ::unlinkat(folder, name.c_str(), 0);
    return true;
  }
#endif
  return ::renameat(folder, name.c_str(), into.folder_handle, into.file_name.c_str()) == 0;
}

}  // namespace

bool identify(Handle h, FileId& id) {
  struct stat st {};
  if (::fstat(h, &st) != 0) return false;
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.file = static_cast<std::uint64_t>(st.st_ino);
  id.regular = S_ISREG(st.st_mode);
  return true;
}

bool leads_to(const std::string& name, Handle h) {
  struct stat named {};
  struct stat held {};
  if (::stat(name.c_str(), &named) != 0) return errno == ENOENT;
  return ::fstat(h, &held) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

bool find_target(const std::string& name, Target& target) {
  release_target(target);
  target = Target{};
  target.name = name;
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail_with(EISDIR);
    target.kind = S_ISREG(st.st_mode) ? FileKind::regular : FileKind::other;
  } else if (errno != ENOENT) {
    return false;
  }
  target.path = name;
  if (target.kind != FileKind::other && !follow_links(name, target.path)) return false;
  split(target.kind == FileKind::other ? name : target.path, target.folder, target.file_name);
  if (target.file_name.empty()) return fail_with(EISDIR);  // "folder/"
  if (target.kind == FileKind::other) return true;
  target.folder_handle = open_folder(target.folder);
  if (target.folder_handle < 0) return false;
  if (target.kind == FileKind::regular) {
    // The links must lead to the file the name opens; where they do not (a link of the
    // system's own, such as /dev/stdout on a deleted file), the file is written in place.
    struct stat found {};
    if (::fstatat(target.folder_handle, target.file_name.c_str(), &found, AT_SYMLINK_NOFOLLOW) !=
            0 ||
        found.st_dev != st.st_dev || found.st_ino != st.st_ino ||
        mount_point(target.folder_handle, target.file_name, found)) {
      target.kind = FileKind::other;
    } else if (::faccessat(target.folder_handle, target.file_name.c_str(), W_OK, AT_EACCESS) != 0) {
      const int error = errno;
      release_target(target);
      return fail_with(error);
    }
    target.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                 true};
    target.mode = st.st_mode & 07777;
    target.owner = st.st_uid;
    target.group = st.st_gid;
  }
  return true;
}

void release_target(Target& target) {
  if (target.folder_handle >= 0) ::close(target.folder_handle);
  target.folder_handle = -1;
}

bool create_temporary(const Target& target, Temporary& temporary) {
  watch_signals();
  temporary = Temporary{};
  if (refused(Call::temporary)) return false;
  const int folder = target.folder_handle;
  // A new file gets the mode bits a new file gets (the umask, a default ACL); one that
  // replaces a file stays private until it is given that file's mode.
  const mode_t mode = target.kind == FileKind::missing ? 0666 : 0600;
#ifdef O_TMPFILE
  const int fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd >= 0) {
    struct stat st {};
    // Linked into place through /proc (or a capability): without /proc, a named one.
    if (::lstat(descriptor_path(fd).c_str(), &st) == 0) {
      temporary.handle = fd;
      return true;
    }
    ::close(fd);
  }
#endif
  const SignalsBlocked blocked;
  for (int k = 0; k < name_tries; ++k) {
    std::string name = temporary_name("", target.file_name, random_number());
    const int named = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (named < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    if (!add_pending(folder, name)) {
      const int error = errno;
      ::unlinkat(folder, name.c_str(), 0);
      ::close(named);
      return fail_with(error);
    }
    temporary.handle = named;
    temporary.name = std::move(name);
    return true;
  }
  return fail_with(EEXIST);
}

bool install_temporary(Temporary& temporary, const Target& target, bool sync) {
  const int fd = temporary.handle;
  const int folder = target.folder_handle;
  bool ok = true;
  if (target.kind == FileKind::regular) {
    const auto owner = static_cast<uid_t>(target.owner);
    const auto group = static_cast<gid_t>(target.group);
    // The owner only where the system allows (as root); then at least the group.
    if (::fchown(fd, owner, group) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), group);
    ok = ::fchmod(fd, static_cast<mode_t>(target.mode)) == 0;
  }
  ok = ok && (!sync || (!refused(Call::sync) && ::fsync(fd) == 0));
  if (!ok) {
    const int error = errno;
    discard_temporary(temporary, target);
    return fail_with(error);
  }
  // What the name leads to now: a symbolic link put there since it was checked is followed.
  Target moved;
  const Target* into = &target;
  struct stat now {};
  if (::fstatat(folder, target.file_name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(now.st_mode) && find_target(target.name, moved) && moved.kind != FileKind::other) {
    into = &moved;
  }
  int error = 0;
  {
    const SignalsBlocked blocked;
    std::string& name = temporary.name;
#ifdef O_TMPFILE
    for (int k = 0; name.empty() && k < name_tries; ++k) {
      std::string candidate = temporary_name("", target.file_name, random_number());
      if (link_unnamed(fd, folder, candidate)) {
        name = std::move(candidate);
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (name.empty()) error = errno != 0 ? errno : EEXIST;
#endif
    if (error == 0) {
      if (refused(Call::rename) || !put_in_place(folder, name, *into)) {
        error = errno;
        if (rename_cannot_serve(error) && into->kind == FileKind::regular) {
          error = copy_in_place(fd, into->folder_handle, into->file_name) ? 0 : errno;
        }
        ::unlinkat(folder, name.c_str(), 0);
      }
    } else if (!name.empty()) {
      ::unlinkat(folder, name.c_str(), 0);
    }
    // close() may report what the sync did not (on a network file system).
    if (::close(fd) != 0 && error == 0) error = errno;
    temporary.handle = -1;
    if (!name.empty()) drop_pending(folder, name);
    name.clear();
  }
  // The folder's entries through to the disk, so that the rename lasts too. Best effort:
  // some systems cannot sync a folder.
  if (error == 0 && sync) ::fsync(into->folder_handle);
  release_target(moved);
  return error == 0 || fail_with(error);
}

void discard_temporary(Temporary& temporary, const Target& target) {
  {
    const SignalsBlocked blocked;
    if (!temporary.name.empty()) {
      ::unlinkat(target.folder_handle, temporary.name.c_str(), 0);
      drop_pending(target.folder_handle, temporary.name);
      temporary.name.clear();
    }
  }
  if (temporary.handle >= 0) ::close(temporary.handle);
  temporary.handle = -1;
}

Handle create_spool() {
  if (refused(Call::temporary)) return -1;
  const char* variable = std::getenv("TMPDIR");
  const std::string folder = variable && *variable ? variable : "/tmp";
#ifdef O_TMPFILE
  // O_EXCL: it can never be given a name.
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  // Named for as long as it takes to remove the name, with signals held back meanwhile.
  const SignalsBlocked blocked;
  for (int k = 0; k < name_tries; ++k) {
    const std::string name = temporary_name(folder + "/", "record_io-spool", random_number());
    const int named = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (named >= 0) {
      ::unlink(name.c_str());
      return named;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

bool rewind(Handle h) {
  return ::lseek(h, 0, SEEK_SET) == 0;
}

}  // namespace record_io::platform
