#include "record_io/startup.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace record_io {

namespace {

Runtime* the_runtime = nullptr;
int stored_argc = 0;
char** stored_argv = nullptr;

void write_error(const char* text) {
  std::size_t n = std::strlen(text);
  while (n > 0) {
    ssize_t w = ::write(STDERR_FILENO, text, n);
    if (w <= 0) return;
    text += w;
    n -= static_cast<std::size_t>(w);
  }
}

[[noreturn]] void abnormal_end() {
  std::signal(SIGABRT, SIG_DFL);
  std::abort();
}

[[noreturn]] void normal_end() {
  std::exit(0);
}

// The signal table: message, then the exit hook; status 1, or an abnormal end for the
// floating-point exception and abort signals.
extern "C" void on_signal(int signal) {
  const char* message = "Killed";
  bool abnormal = false;
  switch (signal) {
    case SIGINT:
      message = "Interrupt";
      break;
    case SIGFPE:
      message = "Floating Exception";
      abnormal = true;
      break;
    case SIGABRT:
      message = "IOT Trap";
      abnormal = true;
      break;
    default:
      break;
  }
  write_error(message);
  write_error("\n");
  if (the_runtime) the_runtime->shutdown();
  if (abnormal) abnormal_end();
  ::_exit(1);
}

extern "C" void exit_hook() {
  if (the_runtime) the_runtime->shutdown();
}

void install(int signal) {
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

Runtime& start_process(int argc, char** argv) {
  stored_argc = argc;
  stored_argv = argv;
  install(SIGFPE);
  install(SIGABRT);
  struct sigaction interrupt {};
  if (sigaction(SIGINT, nullptr, &interrupt) == 0 && interrupt.sa_handler != SIG_IGN) {
    install(SIGINT);
  }
  install(SIGTERM);
  // Never destroyed: the exit hook and the signal handlers may use it to the very end.
  the_runtime = new Runtime(std::make_unique<FdChannel>(STDIN_FILENO, false),
                            std::make_unique<FdChannel>(STDOUT_FILENO, false),
                            std::make_unique<FdChannel>(STDERR_FILENO, false),
                            ProcessEnds{normal_end, abnormal_end});
  std::atexit(exit_hook);
  return *the_runtime;
}

Runtime& process_runtime() {
  return *the_runtime;
}

int argument_count() {
  return stored_argc;
}

const char* argument(int i) {
  return i >= 0 && i < stored_argc ? stored_argv[i] : nullptr;
}

}  // namespace record_io
