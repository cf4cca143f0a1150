// The system seam on POSIX systems (Linux, the BSDs, macOS).
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdlib>

#include "faults.hpp"
#include "platform.hpp"

namespace record_io::platform {

namespace {

// Opens name with flags; a directory is refused with EISDIR.
int open_not_directory(const char* name, int flags) {
  int fd = ::open(name, flags | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

}  // namespace

HandleInfo describe(Handle h) {
  HandleInfo info;
  struct stat st {};
  if (::fstat(h, &st) == 0) {
    info.regular = S_ISREG(st.st_mode);
    if (st.st_blksize > 0) info.block_size = static_cast<std::size_t>(st.st_blksize);
  }
  info.interactive = ::isatty(h) == 1;
  return info;
}

long read(Handle h, char* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(h, buffer, size);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

std::size_t write(Handle h, const char* data, std::size_t size) {
  if (refused(Call::write)) return 0;
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(h, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void prefer_large_pages(void* p, std::size_t size) {
#ifdef MADV_HUGEPAGE
  (void)::madvise(p, size, MADV_HUGEPAGE);
#else
  (void)p;
  (void)size;
#endif
}

bool seek_back(Handle h, std::size_t n) {
  return ::lseek(h, -static_cast<off_t>(n), SEEK_CUR) >= 0;
}

bool truncate_here(Handle h) {
  off_t here = ::lseek(h, 0, SEEK_CUR);
  return here >= 0 && ::ftruncate(h, here) == 0;
}

bool close(Handle h) {
  return ::close(h) == 0;
}

Handle open(const std::string& name, Access access) {
  switch (access) {
    case Access::read:
      return open_not_directory(name.c_str(), O_RDONLY);
    case Access::update: {
      if (refused(Call::open)) return -1;
      struct stat st {};
      bool stream = ::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
      const int fd = open_not_directory(name.c_str(), stream ? O_WRONLY : O_RDWR);
      // A file that may be written but not read (mode 0222) is written only.
      if (fd < 0 && errno == EACCES && !stream) return open_not_directory(name.c_str(), O_WRONLY);
      return fd;
    }
    case Access::create_update:
      if (refused(Call::open)) return -1;
      return open_not_directory(name.c_str(), O_RDWR | O_CREAT);
  }
  return -1;
}

void lock_for_writing(Handle h) {
  if (refused(Call::lock)) return;
  struct stat st {};
  if (::fstat(h, &st) != 0 || !S_ISREG(st.st_mode)) return;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
#ifdef F_OFD_SETLKW
  // A lock of the open file itself, not of the process (whatever else it closes).
  int result = 0;
  while ((result = ::fcntl(h, F_OFD_SETLKW, &whole)) != 0 && errno == EINTR) {
  }
  if (result == 0 || errno != EINVAL) return;
#endif
  while (::fcntl(h, F_SETLKW, &whole) != 0 && errno == EINTR) {
  }
}

void prepare_standard_streams() {
  for (int fd : {standard_input, standard_output, standard_error}) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free number: fd itself, as those below it are open by now.
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

void abort_process(bool core_file) {
  if (!core_file) {
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
#ifdef __linux__
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);  // nor a crash report through a core_pattern pipe
#endif
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGABRT, &fallback, nullptr);
  std::abort();
}

}  // namespace record_io::platform
