// The ending path on POSIX systems: sigaction for every signal of the table.
#include <signal.h>
#include <unistd.h>

#include <iterator>

#include "ending.hpp"
#include "ending_list.hpp"

namespace record_io::platform {

namespace {

extern "C" void on_system_signal(int number) {
  on_ending_signal(number);
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

const int table[] = {
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

}  // namespace

SignalTable ending_signals() {
  return {table, std::size(table)};
}

void catch_ending_signals() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  for (int number : table) catch_if_default(number);
#ifdef SIGRTMIN
  for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) catch_if_default(number);
#endif
}

void catch_all_terminations() {
  // The interrupt signal may have been ignored for a background job, the hangup signal by
  // nohup: they stay so.
  catch_ending_signals();
  for (int number : {SIGFPE, SIGABRT, SIGTERM}) install(number);
}

void ignore_write_signals(bool pipe) {
  if (pipe) set_action(SIGPIPE, SIG_IGN);
  set_action(SIGXFSZ, SIG_IGN);
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

}  // namespace record_io::platform
