#include <csignal>

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
    default:
      return Signal::termination;
  }
}

}  // namespace record_io::platform
