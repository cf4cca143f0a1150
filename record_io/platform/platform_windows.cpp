// The system seam on Windows, through the C runtime's low-level I/O. Every handle is in
// binary mode: the layer folds and writes line ends itself, and a Ctrl-Z byte is an
// ordinary character.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "faults.hpp"
#include "platform.hpp"

namespace record_io::platform {

namespace {

bool is_console(Handle h) {
  auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(h));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_CHAR &&
         ::GetConsoleMode(handle, &mode) != 0;
}

bool is_directory(const std::string& name) {
  DWORD attributes = ::GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

constexpr std::size_t max_transfer = 1u << 30;

}  // namespace

HandleInfo describe(Handle h) {
  HandleInfo info;
  struct _stati64 st {};
  if (::_fstati64(h, &st) == 0) info.regular = (st.st_mode & _S_IFMT) == _S_IFREG;
  info.interactive = is_console(h);
  return info;
}

long read(Handle h, char* buffer, std::size_t size) {
  auto n = static_cast<unsigned>(size < max_transfer ? size : max_transfer);
  for (;;) {
    int got = ::_read(h, buffer, n);
    // Ctrl-C ends a console read early with nothing read; the interrupt handler, which runs
    // on a thread of its own, ends the process. Where the interrupt is ignored, read on.
    if (got == 0 && ::GetLastError() == ERROR_OPERATION_ABORTED && is_console(h)) {
      ::Sleep(100);
      ::SetLastError(0);
      continue;
    }
    return got;
  }
}

std::size_t write(Handle h, const char* data, std::size_t size) {
  if (refused(Call::write)) return 0;
  std::size_t done = 0;
  while (done < size) {
    std::size_t left = size - done;
    auto n = static_cast<unsigned>(left < max_transfer ? left : max_transfer);
    int put = ::_write(h, data + done, n);
    if (put < 0) break;
    done += static_cast<std::size_t>(put);
  }
  return done;
}

void prefer_large_pages(void*, std::size_t) {}

bool seek_back(Handle h, std::size_t n) {
  return ::_lseeki64(h, -static_cast<long long>(n), SEEK_CUR) >= 0;
}

bool truncate_here(Handle h) {
  long long here = ::_lseeki64(h, 0, SEEK_CUR);
  if (here < 0) return false;
  errno_t error = ::_chsize_s(h, here);
  if (error != 0) errno = error;
  return error == 0;
}

bool close(Handle h) {
  return ::_close(h) == 0;
}

Handle open(const std::string& name, Access access) {
  int flags = _O_BINARY | _O_NOINHERIT;
  switch (access) {
    case Access::read:
      flags |= _O_RDONLY;
      break;
    case Access::update:
      flags |= _O_RDWR;
      break;
    case Access::create_update:
      flags |= _O_RDWR | _O_CREAT;
      break;
  }
  if (refused(Call::open)) return -1;
  int fd = ::_open(name.c_str(), flags, _S_IREAD | _S_IWRITE);
  // A file that may be written but not read is written only.
  if (fd < 0 && errno == EACCES && access == Access::update && !is_directory(name)) {
    fd = ::_open(name.c_str(), (flags & ~_O_RDWR) | _O_WRONLY, _S_IREAD | _S_IWRITE);
  }
  // The system refuses a directory as "access denied": say what it is.
  if (fd < 0 && errno == EACCES && is_directory(name)) errno = EISDIR;
  return fd;
}

void lock_for_writing(Handle h) {
  if (refused(Call::lock)) return;
  auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(h));
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) return;
  OVERLAPPED whole{};
  ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
}

void prepare_standard_streams() {
  const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (int fd = standard_input; fd <= standard_error; ++fd) {
    const HANDLE given = ::GetStdHandle(which[fd]);
    if (given != nullptr && given != INVALID_HANDLE_VALUE) continue;
    const int null = ::_open("NUL", _O_RDWR | _O_BINARY | _O_NOINHERIT);
    if (null < 0) continue;
    if (null != fd) {
      ::_dup2(null, fd);
      ::_close(null);
    }
    ::SetStdHandle(which[fd], reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
  }
  ::_setmode(standard_input, _O_BINARY);
  ::_setmode(standard_output, _O_BINARY);
  ::_setmode(standard_error, _O_BINARY);
}

void abort_process(bool) {
  // No error-reporting dialog and no message box, whatever the system's settings.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
#ifdef _UCRT
  ::_set_abort_behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
  std::signal(SIGABRT, SIG_DFL);
  std::abort();
#else
  // The older runtime's abort writes a message of its own before it raises the abort
  // signal; raising it directly ends the process the same way (status 3) without one.
  std::signal(SIGABRT, SIG_DFL);
  std::raise(SIGABRT);
  ::_exit(3);
#endif
}

}  // namespace record_io::platform
