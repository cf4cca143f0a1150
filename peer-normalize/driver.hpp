// The run of peer-normalize: its command line, its files, its messages and its exit status.
#pragma once

#include <string_view>
#include <vector>

#include "record_io/byte_channel.hpp"

namespace normalize {

struct Streams {
  record_io::ByteChannel& input;
  record_io::ByteChannel& output;
  record_io::ByteChannel& error;
};

inline constexpr int exit_success = 0;
inline constexpr int exit_refused = 1;  // an input refused, or a file not read or written
inline constexpr int exit_usage = 2;

// Runs peer-normalize with the arguments after the program name; `version` is what
// --version prints after the program's name. Each input is read once to check it and
// again to write it, so that nothing is written for a refused input; with -d, the inputs
// after a refused one are still done. Returns the exit status.
int run(const std::vector<std::string_view>& arguments, Streams streams, std::string_view version);

}  // namespace normalize
