// Fault injection (faults.hpp): a countdown and an error for each kind of call.
#ifdef RECORD_IO_FAULTS
#include "faults.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace record_io::platform {

namespace {

struct Planned {
  int countdown = 0;  // 0: none planned
  int error = 0;
};
Planned planned[call_kinds];

constexpr const char* call_names[call_kinds] = {"open",   "write",     "lock",    "sync",
                                                "rename", "temporary", "allocate"};

// RECORD_IO_FAULTS="CALL:N:ERRNO,...": entries that do not parse are ignored.
void read_environment() {
  const char* text = std::getenv("RECORD_IO_FAULTS");
  while (text && *text) {
    for (int k = 0; k < call_kinds; ++k) {
      const std::size_t n = std::strlen(call_names[k]);
      if (std::strncmp(text, call_names[k], n) != 0 || text[n] != ':') continue;
      char* end = nullptr;
      const long nth = std::strtol(text + n + 1, &end, 10);
      const long error = *end == ':' ? std::strtol(end + 1, &end, 10) : EIO;
      if (nth > 0 && nth < 1000000 && error > 0 && error < 4096) {
        planned[k] = {static_cast<int>(nth), static_cast<int>(error)};
      }
      break;
    }
    text = std::strchr(text, ',');
    if (text) ++text;
  }
}

}  // namespace

void fail_call(Call call, int nth, int error) {
  planned[static_cast<int>(call)] = {nth, error};
}

bool refused(Call call) {
  static const bool read = (read_environment(), true);
  (void)read;
  Planned& p = planned[static_cast<int>(call)];
  if (p.countdown == 0 || --p.countdown != 0) return false;
  errno = p.error;
  return true;
}

}  // namespace record_io::platform
#endif
