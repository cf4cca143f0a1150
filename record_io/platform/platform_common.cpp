// The parts of the system seam that the C and C++ libraries give alike on every platform.
#include <csignal>
#include <cstdlib>

#include "platform.hpp"

namespace record_io::platform {

Signal signal_of(int number) {
  switch (number) {
    case SIGINT:
      return Signal::interrupt;
    case SIGFPE:
      return Signal::floating_point;
    case SIGABRT:
      return Signal::abort;
    case SIGTERM:
      return Signal::termination;
    default:
      return Signal::other;
  }
}

void at_exit(void (*hook)()) {
  std::atexit(hook);
}

void write_error_text(std::string_view text) {
  write(standard_error, text.data(), text.size());
}

void exit_process(int status) {
  std::exit(status);
}

void exit_now(int status) {
  std::_Exit(status);
}

}  // namespace record_io::platform
