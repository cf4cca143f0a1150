// One run of peer-normalize: its messages, its standard streams, and the normalising of
// one input to one output.
#pragma once

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver.hpp"
#include "record.hpp"
#include "record_io/file_replacement.hpp"
#include "record_io/text_writer.hpp"
#include "twice_read.hpp"

namespace normalize {

inline constexpr std::string_view program = "peer-normalize";
inline constexpr std::string_view standard_input_name = "<stdin>";
inline constexpr std::string_view standard_output_name = "<stdout>";

inline bool is_standard(std::string_view name) {
  return name.empty() || name == "-";
}

class Run {
 public:
  explicit Run(Streams streams) : streams_(streams), messages_(streams.error) {}

  // A line on standard error.
  void say(std::string_view line);
  // "peer-normalize: NAME: " and the system's text for `error`.
  void say_system(std::string_view name, int error);
  record_io::ByteChannel& error_channel() { return streams_.error; }

  // Prints `lines` on standard output; exit_success, or exit_refused when writing failed.
  int print(std::string_view lines);

  // Normalises one input to `output` (standard output when it names none); false when the
  // input was refused or a file could not be read or written.
  bool normalize(const std::string& input, const std::string& output, const Rewrite& rewrite);

 private:
  // A file written in place, as standard output is, must not be the input: it would be
  // written over while it is read, or read on as it grows.
  bool not_the_input(const std::optional<record_io::FileIdentity>& input,
                     const std::optional<record_io::FileIdentity>& output, const std::string& shown,
                     const std::string& output_name);
  // The first reading: every message about the record is said here.
  bool check(TwiceRead& in, const std::string& shown, const Rewrite& rewrite);
  bool write_standard(TwiceRead& in, const std::string& shown, const Rewrite& rewrite);
  // The record goes to a temporary file beside `output`, which replaces it only once the
  // record is whole: until then, and whatever stops the run, `output` is as it was.
  bool write_file(TwiceRead& in, record_io::ByteChannel* input_file,
                  const std::optional<record_io::FileIdentity>& identity, const std::string& shown,
                  const std::string& output, const Rewrite& rewrite);
  // The end of the second reading. Its messages were said in the first, unless the input
  // changed in between; `whole`: the output was left as it was unless the record is whole.
  bool written(const RecordResult& r, const std::string& shown, std::string_view output,
               bool whole);

  Streams streams_;
  record_io::TextWriter messages_;
};

// The output name of `file` in `folder`: the folder and the file's own name.
std::string in_folder(const std::string& folder, const std::string& file);

}  // namespace normalize
