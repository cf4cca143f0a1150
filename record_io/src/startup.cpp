#include "record_io/startup.hpp"

#include "ending.hpp"
#include "platform.hpp"

namespace record_io {

namespace {

// The process's runtime, for the signal handlers and the exit hook alone.
Runtime* the_runtime = nullptr;

[[noreturn]] void abnormal_end() {
  platform::abort_process(false);
}

[[noreturn]] void normal_end() {
  platform::exit_process(0);
}

// The signal table: a message for the interrupt, termination, floating-point exception and
// abort signals, first (any other signal has none); then the end list, the exit hook first.
void announce(int number) {
  using platform::Signal;
  const char* message = nullptr;
  switch (platform::signal_of(number)) {
    case Signal::interrupt:
      message = "Interrupt";
      break;
    case Signal::termination:
      message = "Killed";
      break;
    case Signal::floating_point:
      message = "Floating Exception";
      break;
    case Signal::abort:
      message = "IOT Trap";
      break;
    case Signal::other:
      return;
  }
  platform::write_error_text(message);
  platform::write_error_text(platform::line_end);
}

// Then the end: status 1, or an abnormal end for the floating-point exception and abort
// signals; any other signal ends the process as that signal does.
void finish(int number) {
  using platform::Signal;
  switch (platform::signal_of(number)) {
    case Signal::floating_point:
      // A crash of the program: it keeps whatever core file the system's settings give.
      platform::abort_process(true);
    case Signal::abort:
      platform::abort_process(false);
    case Signal::interrupt:
    case Signal::termination:
      platform::exit_now(1);
    case Signal::other:
      platform::end_by_signal(number);
  }
}

// The exit hook: 0 at a normal exit, a signal's number in its handler.
void exit_hook(int number) {
  if (the_runtime) the_runtime->shutdown(number == 0 ? Ending::normal : Ending::signal);
}

}  // namespace

void start_streams() {
  platform::prepare_standard_streams();
  platform::ignore_write_signals(false);
}

Runtime& start_process() {
  start_streams();
  platform::ignore_write_signals(true);
  // Never destroyed: the exit hook and the signal handlers may use it to the very end.
  the_runtime =
      new Runtime(standard_stream(StandardStream::input), standard_stream(StandardStream::output),
                  standard_stream(StandardStream::error), ProcessEnds{normal_end, abnormal_end});
  // First in the end list: a temporary file's removal comes after it.
  platform::at_end(exit_hook);
  platform::set_signal_end(announce, finish);
  platform::catch_all_terminations();
  return *the_runtime;
}

}  // namespace record_io
