// Process entry of peer-normalize: start the record I/O layer, then run the command line.
#include <new>
#include <string_view>
#include <vector>

#include "driver.hpp"
#include "record_io/byte_channel.hpp"
#include "record_io/file_replacement.hpp"
#include "record_io/startup.hpp"

int main(int argc, char** argv) {
  // The standard streams carry bytes unchanged; a signal ends the run as the system ends
  // any program, once an output's temporary file is removed (record_io::FileReplacement).
  record_io::start_streams();
  using record_io::StandardStream;
  auto input = record_io::standard_stream(StandardStream::input);
  auto output = record_io::standard_stream(StandardStream::output);
  auto error = record_io::standard_stream(StandardStream::error);
  try {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const normalize::Streams streams{*input, *output, *error,
                                     record_io::identity_of(StandardStream::input),
                                     record_io::identity_of(StandardStream::output)};
    return normalize::run(arguments, streams, PEER_NORMALIZE_VERSION);
  } catch (const std::bad_alloc&) {
    constexpr std::string_view message = "peer-normalize: out of memory\n";
    error->write(message.data(), message.size());
    return normalize::exit_refused;
  }
}
