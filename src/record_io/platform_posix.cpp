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
#include <cstdint>
#include <cstdlib>

#include "platform.hpp"

namespace record_io::platform {

namespace {

void (*signal_handler)(Signal) = nullptr;

extern "C" void on_system_signal(int number) {
  signal_handler(signal_of(number));
}

void install(int number) {
  struct sigaction action {};
  action.sa_handler = on_system_signal;
  sigemptyset(&action.sa_mask);
  sigaction(number, &action, nullptr);
}

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
    case Access::update:
      return open_not_directory(name.c_str(), O_RDWR);
    case Access::create_update:
      return open_not_directory(name.c_str(), O_RDWR | O_CREAT);
  }
  return -1;
}

void populate(void* begin, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
  constexpr std::uintptr_t page = 4096;
  auto first = reinterpret_cast<std::uintptr_t>(begin) & ~(page - 1);
  auto last = (reinterpret_cast<std::uintptr_t>(begin) + size + page - 1) & ~(page - 1);
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)size;
#endif
}

void prepare_standard_streams() {}

void install_signal_handlers(void (*handler)(Signal)) {
  signal_handler = handler;
  install(SIGFPE);
  install(SIGABRT);
  struct sigaction interrupt {};
  if (sigaction(SIGINT, nullptr, &interrupt) == 0 && interrupt.sa_handler != SIG_IGN) {
    install(SIGINT);
  }
  install(SIGTERM);
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
