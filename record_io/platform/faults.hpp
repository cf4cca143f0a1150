// Fault injection for tests, in the manner of SQLite's: a test makes a chosen call of the
// seam fail, so that the error paths behind it run. Compiled in only where RECORD_IO_FAULTS
// is defined (the builds with tests); elsewhere `refused` is a constant false and costs
// nothing. Only the calls that can fail are checked, never the per-byte paths: an open, a
// write (one per buffer handed on), a lock, a sync, a rename, the making of a temporary
// file, and the layer's buffers' allocation.
//
// In-process tests call fail_call. A program run by a test takes its faults from the
// environment, read once at the first check: RECORD_IO_FAULTS="CALL:N:ERRNO[,...]", CALL
// one of open, write, lock, sync, rename, temporary, allocate; N counts from 1 (the first
// such call fails); ERRNO is the number the call fails with (for allocate: ignored, the
// allocation throws std::bad_alloc).
#pragma once

namespace record_io::platform {

enum class Call { open, write, lock, sync, rename, temporary, allocate };
inline constexpr int call_kinds = 7;

#ifdef RECORD_IO_FAULTS
// The nth call of `call` from now on (1: the next one) fails with `error`; nth 0 clears it.
void fail_call(Call call, int nth, int error);
// True, with errno set, when this call is to fail.
bool refused(Call call);
#else
inline bool refused(Call) {
  return false;
}
#endif

}  // namespace record_io::platform
