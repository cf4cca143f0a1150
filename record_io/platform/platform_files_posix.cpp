// Files written whole on POSIX systems: the temporary file is an unnamed one (Linux
// O_TMPFILE) where the folder's file system makes them, linked into place at the end, and a
// hidden named one elsewhere; a rename puts it over the target.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform_files.hpp"

namespace record_io::platform {

namespace {

// --- Signals ---

// Names of temporary files to remove when a signal ends the process. Changed only while
// every signal is blocked, so that the handler never sees a change half made.
constexpr int pending_slots = 16;
char* volatile pending[pending_slots] = {};

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
bool add_pending(const std::string& name) {
  for (char* volatile& slot : pending) {
    if (slot) continue;
    auto* copy = new char[name.size() + 1];
    name.copy(copy, name.size());
    copy[name.size()] = '\0';
    slot = copy;
    return true;
  }
  errno = EMFILE;
  return false;
}

// With signals blocked.
void drop_pending(const std::string& name) {
  for (char* volatile& slot : pending) {
    if (slot && name == slot) {
      char* copy = slot;
      slot = nullptr;
      delete[] copy;
    }
  }
}

void on_ending_signal(int number) {
  for (char* name : pending) {
    if (name) ::unlink(name);
  }
  // Then the signal's own action: the process ends as that signal ends it.
  end_by_signal(number);
}

void watch_signals() {
  static bool watched = false;
  if (watched) return;
  watched = true;
  catch_ending_signals(on_ending_signal);
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

bool read_link(const std::string& path, std::string& text) {
  for (std::size_t size = 256;; size *= 2) {
    std::unique_ptr<char[]> buffer(new char[size]);
    const ssize_t n = ::readlink(path.c_str(), buffer.get(), size);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < size) {
      text.assign(buffer.get(), static_cast<std::size_t>(n));
      return true;
    }
  }
}

// `name` with its symbolic links followed, to a file that is not a link or to the name a
// dangling link gives.
bool follow_links(const std::string& name, std::string& path) {
  constexpr int longest_chain = 40;
  path = name;
  for (int depth = 0; depth < longest_chain; ++depth) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    std::string link;
    if (!read_link(path, link)) return false;
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

// Writes the folder's entries through to the disk, so that the rename lasts too. Best
// effort: some systems cannot open a folder or sync one.
void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

#ifdef O_TMPFILE
std::string descriptor_path(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// Gives the unnamed file a name; EEXIST when that name is taken.
bool link_unnamed(int fd, const std::string& name) {
#ifdef AT_EMPTY_PATH
  // Needs a capability most processes lack; the way through /proc serves the others.
  if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
#endif
  return ::linkat(AT_FDCWD, descriptor_path(fd).c_str(), AT_FDCWD, name.c_str(),
                  AT_SYMLINK_FOLLOW) == 0;
}
#endif

bool fail_with(int error) {
  errno = error;
  return false;
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

bool find_target(const std::string& name, Target& target) {
  target = Target{};
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail_with(EISDIR);
    target.kind = S_ISREG(st.st_mode) ? FileKind::regular : FileKind::other;
  } else if (errno != ENOENT) {
    return false;
  }
  target.path = name;
  if (target.kind != FileKind::other && !follow_links(name, target.path)) return false;
  if (target.kind == FileKind::regular) {
    // The links must lead to the file the name opens; where they do not (a link of the
    // system's own, such as /dev/stdout on a deleted file), the file is written in place.
    struct stat found {};
    if (::stat(target.path.c_str(), &found) != 0 || found.st_dev != st.st_dev ||
        found.st_ino != st.st_ino) {
      target.kind = FileKind::other;
      target.path = name;
    } else if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
      return false;
    }
    target.mode = st.st_mode & 07777;
    target.owner = st.st_uid;
    target.group = st.st_gid;
  }
  split(target.path, target.folder, target.file_name);
  if (target.file_name.empty()) return fail_with(EISDIR);  // "folder/"
  return true;
}

bool create_temporary(const Target& target, Temporary& temporary) {
  watch_signals();
  temporary = Temporary{};
  // A new file gets the mode bits a new file gets (the umask, a default ACL); one that
  // replaces a file stays private until it is given that file's mode.
  const mode_t mode = target.kind == FileKind::missing ? 0666 : 0600;
#ifdef O_TMPFILE
  const int fd = ::open(target.folder.empty() ? "." : target.folder.c_str(),
                        O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
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
    std::string name = temporary_name(target.folder, target.file_name, random_number());
    const int named = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (named < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    if (!add_pending(name)) {
      const int error = errno;
      ::unlink(name.c_str());
      ::close(named);
      return fail_with(error);
    }
    temporary.handle = named;
    temporary.name = std::move(name);
    return true;
  }
  return fail_with(EEXIST);
}

bool install_temporary(Temporary& temporary, const Target& target) {
  const int fd = temporary.handle;
  bool ok = true;
  if (target.kind == FileKind::regular) {
    const auto owner = static_cast<uid_t>(target.owner);
    const auto group = static_cast<gid_t>(target.group);
    // The owner only where the system allows (as root); then at least the group.
    if (::fchown(fd, owner, group) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), group);
    ok = ::fchmod(fd, static_cast<mode_t>(target.mode)) == 0;
  }
  ok = ok && ::fsync(fd) == 0;
  if (!ok) {
    const int error = errno;
    discard_temporary(temporary);
    return fail_with(error);
  }
  int error = 0;
  {
    const SignalsBlocked blocked;
    std::string& name = temporary.name;
#ifdef O_TMPFILE
    for (int k = 0; name.empty() && k < name_tries; ++k) {
      std::string candidate = temporary_name(target.folder, target.file_name, random_number());
      if (link_unnamed(fd, candidate)) {
        name = std::move(candidate);
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (name.empty()) error = errno != 0 ? errno : EEXIST;
#endif
    // close() may report what the sync did not (on a network file system).
    if (::close(fd) != 0 && error == 0) error = errno;
    temporary.handle = -1;
    if (!name.empty()) {
      if (error == 0 && ::rename(name.c_str(), target.path.c_str()) != 0) error = errno;
      if (error != 0) ::unlink(name.c_str());
      drop_pending(name);
      name.clear();
    }
  }
  if (error != 0) return fail_with(error);
  sync_folder(target.folder);
  return true;
}

void discard_temporary(Temporary& temporary) {
  {
    const SignalsBlocked blocked;
    if (!temporary.name.empty()) {
      ::unlink(temporary.name.c_str());
      drop_pending(temporary.name);
      temporary.name.clear();
    }
  }
  if (temporary.handle >= 0) ::close(temporary.handle);
  temporary.handle = -1;
}

Handle create_spool() {
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
