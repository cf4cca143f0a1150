// Process start-up of the record I/O layer: standard units, signals and the exit hook.
#pragma once

#include "record_io/runtime.hpp"

namespace record_io {

// Starts the layer for this process and returns its runtime, for main to hand to the
// program body (which takes no command-line arguments): start_streams, then connects units
// 0, 5 and 6 to standard error, input and output, puts the exit hook first in the end list
// and catches every signal that would end the process (but those ignored or handled when
// the process started; the termination, floating-point and abort signals even then). The
// interrupt, termination, floating-point exception and abort signals write their message
// first; the broken-pipe signal is ignored too. Call once, first.
Runtime& start_process();

// For a program that uses the layer's channels without its units: closed standard streams
// are given the null device, the standard streams carry bytes unchanged (on Windows, binary
// mode), and the file-size signal is ignored (a write past the limit fails with EFBIG).
// Other signals keep the system's default actions until a temporary file is made. Call
// once, first.
void start_streams();

}  // namespace record_io
