// The ending path on Windows: the C runtime's signals, and one console handler for the
// console's close, log-off and shut-down events. Ctrl-C and Ctrl-Break reach the C
// runtime's own console handler, which raises their signals on a thread of its own; a
// handler that runs on any thread but the main one stops the main thread first (after it
// leaves a section held off, such as a temporary file being put in place), so that the
// list runs alone, as it does in a POSIX signal handler.
#include <windows.h>

#include <csignal>
#include <iterator>

#include "ending.hpp"
#include "ending_list.hpp"

namespace record_io::platform {

namespace {

struct Critical {
  CRITICAL_SECTION section;
  Critical() { ::InitializeCriticalSection(&section); }
};

Critical& critical() {
  static Critical c;
  return c;
}

DWORD main_thread_id = 0;
HANDLE main_thread = nullptr;

extern "C" void on_system_signal(int number) {
  if (main_thread && ::GetCurrentThreadId() != main_thread_id) {
    ::EnterCriticalSection(&critical().section);
    ::SuspendThread(main_thread);
    ::LeaveCriticalSection(&critical().section);
  }
  on_ending_signal(number);
}

// The console window closed, the user logging off, the system shutting down: the hangup
// of Windows, taken as Ctrl-Break is. Ctrl-C and Ctrl-Break go on to the C runtime's
// handler, which raises their signals.
BOOL WINAPI on_console_event(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    on_system_signal(SIGBREAK);
  }
  return FALSE;
}

const int table[] = {SIGINT, SIGBREAK, SIGTERM, SIGABRT, SIGFPE, SIGSEGV, SIGILL};

}  // namespace

void hold_off_end(bool on) {
  if (on) {
    ::EnterCriticalSection(&critical().section);
  } else {
    ::LeaveCriticalSection(&critical().section);
  }
}

SignalTable ending_signals() {
  return {table, std::size(table)};
}

void catch_ending_signals() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  critical();
  main_thread_id = ::GetCurrentThreadId();
  main_thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, main_thread_id);
  // Ctrl-C and Ctrl-Break stay ignored where they were ignored as the process started.
  for (int number : table) {
    if (std::signal(number, on_system_signal) == SIG_IGN) std::signal(number, SIG_IGN);
  }
  ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

void catch_all_terminations() {
  catch_ending_signals();
  for (int number : {SIGFPE, SIGABRT, SIGTERM}) std::signal(number, on_system_signal);
}

void ignore_write_signals(bool) {}  // Windows has neither signal

void end_by_signal(int number) {
  // Ctrl-C and Ctrl-Break (and the console closed) end a program as the system's own
  // handler would, had it not been caught.
  if (number == SIGINT || number == SIGBREAK) {
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  }
  std::signal(number, SIG_DFL);
  std::raise(number);
  ::_exit(3);  // not reached: the signal ends the process
}

}  // namespace record_io::platform
