// The system seam on POSIX systems (Linux, the BSDs, macOS).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdlib>

#include "platform.hpp"

namespace record_io::platform {

namespace {

void (*signal_handler)(int) = nullptr;

extern "C" void on_system_signal(int number) {
  signal_handler(number);
}

// Every signal is blocked while the handler runs: it ends the process, once.
void install(int number) {
  struct sigaction action {};
  action.sa_handler = on_system_signal;
  sigfillset(&action.sa_mask);
  sigaction(number, &action, nullptr);
}

void set_action(int number, void (*action)(int)) {
  struct sigaction plain {};
  plain.sa_handler = action;
  sigemptyset(&plain.sa_mask);
  sigaction(number, &plain, nullptr);
}

// The signals whose default action ends the process and that a handler can catch, but for
// the real-time ones.
const int ending_signals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGSEGV, SIGUSR1,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#if defined(__linux__) && defined(SIGPOLL)
    SIGPOLL,  // its default action ends the process on Linux, not on the BSDs
#endif
};

// The signal has its default action: it was neither ignored nor given a handler before.
bool has_default_action(int number) {
  struct sigaction current {};
  return sigaction(number, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
         current.sa_handler == SIG_DFL;
}

void catch_if_default(int number) {
  if (has_default_action(number)) install(number);  // reserved real-time ones refuse it
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
    case Access::update: {
      struct stat st {};
      bool stream = ::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
      return open_not_directory(name.c_str(), stream ? O_WRONLY : O_RDWR);
    }
    case Access::create_update:
      return open_not_directory(name.c_str(), O_RDWR | O_CREAT);
  }
  return -1;
}

void lock_for_writing(Handle h) {
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

void prepare_standard_streams() {}

void catch_ending_signals(void (*handler)(int)) {
  signal_handler = handler;
  for (int number : ending_signals) catch_if_default(number);
#ifdef SIGRTMIN
  for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) catch_if_default(number);
#endif
}

void install_signal_handlers(void (*handler)(int)) {
  set_action(SIGPIPE, SIG_IGN);
  set_action(SIGXFSZ, SIG_IGN);
  // The interrupt signal may have been ignored for a background job, the hangup signal by
  // nohup: they stay so.
  catch_ending_signals(handler);
  for (int number : {SIGFPE, SIGABRT, SIGTERM}) install(number);
}

void end_by_signal(int number) {
  set_action(number, SIG_DFL);
  sigset_t just;
  sigemptyset(&just);
  sigaddset(&just, number);
  sigprocmask(SIG_UNBLOCK, &just, nullptr);
  ::raise(number);
  ::_exit(128 + number);  // not reached: the signal ends the process
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
