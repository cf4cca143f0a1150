// Process start-up of the record I/O layer: standard units, signals and the exit hook.
#pragma once

#include "record_io/runtime.hpp"

namespace record_io {

// Starts the layer for this process and returns its runtime, for main to hand to the
// program body: stores the command-line arguments, installs the handlers for the
// floating-point exception, abort, interrupt (unless the interrupt was ignored when the
// process started) and termination signals, connects units 0, 5 and 6 to standard error,
// input and output, and registers the exit hook. Call once, first.
Runtime& start_process(int argc, char** argv);

}  // namespace record_io
