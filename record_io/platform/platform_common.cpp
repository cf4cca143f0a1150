// The parts of the system seam that the C and C++ libraries give alike on every platform:
// the list of things to do at the end (ending.hpp), which both platforms' handlers run.
#include <csignal>
#include <cstdlib>

#include "ending.hpp"
#include "ending_list.hpp"
#include "platform.hpp"

namespace record_io::platform {

namespace {

constexpr std::size_t list_size = 8;
void (*volatile actions[list_size])(int) = {};
volatile std::sig_atomic_t registered = 0;
// The next action to begin: advanced before it runs, so that a signal that comes while it
// runs goes on with the next one and never runs one twice.
volatile std::sig_atomic_t next_action = 0;

void (*announce_signal)(int) = nullptr;
void (*finish_signal)(int) = nullptr;

extern "C" void run_at_exit() {
  run_end_list(0);
}

}  // namespace

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

bool at_end(void (*action)(int)) {
  if (registered == static_cast<std::sig_atomic_t>(list_size)) return false;
  if (registered == 0) std::atexit(run_at_exit);
  actions[registered] = action;
  registered = registered + 1;
  return true;
}

void set_signal_end(void (*announce)(int), void (*finish)(int)) {
  announce_signal = announce;
  finish_signal = finish;
}

void run_end_list(int number) {
  while (next_action < registered) {
    void (*action)(int) = actions[next_action];
    next_action = next_action + 1;
    action(number);
  }
}

void on_ending_signal(int number) {
  if (announce_signal) announce_signal(number);
  run_end_list(number);
  if (finish_signal) finish_signal(number);
  end_by_signal(number);
}

void write_error_text(std::string_view text) {
  write(standard_error, text.data(), text.size());
}

void exit_process(int status) {
  std::exit(status);  // the list runs from the atexit hook
}

void exit_now(int status) {
  std::_Exit(status);
}

}  // namespace record_io::platform
