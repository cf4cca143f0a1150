// Process start-up of the record I/O layer: standard units, signals and the exit hook.
#pragma once

#include "record_io/runtime.hpp"

namespace record_io {

// Starts the layer for this process and returns its runtime, for main to hand to the
// program body (which takes no command-line arguments): installs the handlers for the
// floating-point exception, abort, interrupt (unless the interrupt was ignored when the
// process started) and termination signals, connects units 0, 5 and 6 to standard error,
// input and output, and registers the exit hook. Call once, first.
Runtime& start_process();

// For a program that uses the layer's channels without its units: the standard streams
// carry bytes unchanged (on Windows, binary mode), and nothing else of the start-up is
// done: signals keep the system's default actions. Call once, first.
void start_streams();

}  // namespace record_io
