// The one ending path of a process: the table of the signals that end it, and the list of
// things to do at its end (a program's exit hook, the removal of a temporary file),
// registered and run in order. ending_posix.cpp and ending_windows.cpp implement it, one
// chosen at build time.
//
// When a caught ending signal comes, the handler (every signal blocked meanwhile on POSIX;
// on Windows, where a console event runs on a thread of its own, with the main thread
// suspended first) calls the announcement, then each action of the list not yet begun,
// then the finish, which ends the process (by default as the signal itself would). A
// normal exit (exit_process, or a return from main) runs the list too, given 0; a signal
// that comes meanwhile goes on with the actions not yet begun.
#pragma once

#include <cstddef>

namespace record_io::platform {

// The signals the layer names, and every other.
enum class Signal { interrupt, termination, floating_point, abort, other };
Signal signal_of(int number);

// The signals whose default action ends the process and that a handler can catch, but
// for the real-time ones (on POSIX every one of SIGRTMIN..SIGRTMAX is caught too).
struct SignalTable {
  const int* numbers;
  std::size_t count;
};
SignalTable ending_signals();

// Adds `action` at the end of the list; false when the list is full (it holds 8).
// An action given a signal's number runs in a signal handler: it may only do what is
// safe there.
bool at_end(void (*action)(int number));

// What a signal does before and after the list: `announce` (may be null) runs first;
// `finish` (null: end_by_signal) ends the process. One pair serves the process.
void set_signal_end(void (*announce)(int number), void (*finish)(int number));

// Catches every ending signal whose action is still the default: one ignored or given a
// handler before (as the process started, or by a sanitizer) stays so. Once is enough:
// later calls do nothing more.
void catch_ending_signals();

// The merge's signals: catch_ending_signals, then the termination, floating-point and
// abort signals caught even when ignored as the process started; the console's close,
// log-off and shut-down events taken as a hangup (Windows).
void catch_all_terminations();

// The broken-pipe and file-size signals ignored: the write they would end fails with EPIPE
// or EFBIG instead. `pipe` false: only the file-size one.
void ignore_write_signals(bool pipe);

// Ends the process by the signal `number` with the system's default action for it (a
// status the shell shows as killed by it, and a core file where the system's settings
// give one); safe in a signal handler.
[[noreturn]] void end_by_signal(int number);

// Runs the list (given 0), then ends the process with status.
[[noreturn]] void exit_process(int status);

}  // namespace record_io::platform
