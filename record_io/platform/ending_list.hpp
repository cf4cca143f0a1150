// What the platforms' signal handlers share (platform_common.cpp): the list run and the
// path of a caught ending signal.
#pragma once

namespace record_io::platform {

// Runs the actions of the list not yet begun, in order, given `number` (0: a normal exit).
void run_end_list(int number);
// A caught ending signal: the announcement, the list, the finish (ending.hpp).
[[noreturn]] void on_ending_signal(int number);

}  // namespace record_io::platform

#ifdef _WIN32
namespace record_io::platform {
// A section of the main thread's work that a console event lets finish before it stops
// the main thread (a temporary file put in place): on, then off.
void hold_off_end(bool on);
}  // namespace record_io::platform
#endif
