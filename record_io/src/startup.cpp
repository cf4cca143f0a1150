#include "record_io/startup.hpp"

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

// The signal table: message, then the exit hook; status 1, or an abnormal end for the
// floating-point exception and abort signals. Any other signal that would end the process
// runs the exit hook, then ends it as that signal does.
void on_signal(int number) {
  using platform::Signal;
  Signal signal = platform::signal_of(number);
  if (signal == Signal::other) {
    if (the_runtime) the_runtime->shutdown();
    platform::end_by_signal(number);
  }
  const char* message = "Killed";
  switch (signal) {
    case Signal::interrupt:
      message = "Interrupt";
      break;
    case Signal::floating_point:
      message = "Floating Exception";
      break;
    case Signal::abort:
      message = "IOT Trap";
      break;
    case Signal::termination:
    case Signal::other:
      break;
  }
  platform::write_error_text(message);
  platform::write_error_text(platform::line_end);
  if (the_runtime) the_runtime->shutdown();
  // A floating-point exception is a crash of the program: it keeps whatever core file the
  // system's settings give.
  if (signal == Signal::floating_point) platform::abort_process(true);
  if (signal == Signal::abort) platform::abort_process(false);
  platform::exit_now(1);
}

void exit_hook() {
  if (the_runtime) the_runtime->shutdown();
}

}  // namespace

void start_streams() {
  platform::prepare_standard_streams();
}

Runtime& start_process() {
  start_streams();
  platform::install_signal_handlers(on_signal);
  // Never destroyed: the exit hook and the signal handlers may use it to the very end.
  the_runtime =
      new Runtime(standard_stream(StandardStream::input), standard_stream(StandardStream::output),
                  standard_stream(StandardStream::error), ProcessEnds{normal_end, abnormal_end});
  platform::at_exit(exit_hook);
  return *the_runtime;
}

}  // namespace record_io
