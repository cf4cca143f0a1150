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
  void say(std::string_view line) {
    messages_.put(line);
    messages_.flush();
  }
  void say_system(std::string_view name, int error) {
    say(std::string(program) + ": " + std::string(name) + ": " + std::strerror(error));
  }

  record_io::ByteChannel& error_channel() { return streams_.error; }

  // Prints `lines` on standard output.
  int print(std::string_view lines) {
    record_io::TextWriter out(streams_.output);
    for (std::size_t start = 0; start < lines.size();) {
      std::size_t end = lines.find('\n', start);
      if (end == std::string_view::npos) end = lines.size();
      out.put(lines.substr(start, end - start));
      start = end + 1;
    }
    return out.flush() ? exit_success : exit_refused;
  }

  // Normalises one input to `output` (standard output when it names none); false when the
  // input was refused or a file could not be read or written.
  bool normalize(const std::string& input, const std::string& output, const Rewrite& rewrite) {
    const bool from_standard = input == "-";
    const std::string shown = from_standard ? std::string(standard_input_name) : input;
    std::unique_ptr<record_io::ByteChannel> file;
    std::optional<record_io::FileIdentity> identity = streams_.input_identity;
    if (!from_standard) {
      record_io::OpenedInput opened = record_io::open_input(input);
      if (!opened.channel) {
        say_system(input, opened.error);
        return false;
      }
      file = std::move(opened.channel);
      identity = opened.identity;
    }
    bool ok = true;
    if (is_standard(output)) ok = not_the_input(identity, streams_.output_identity, shown, {});
    TwiceRead in(file ? *file : streams_.input);
    ok = ok && check(in, shown, rewrite);
    if (ok && !in.rewind()) {
      say_system(shown, errno);
      ok = false;
    }
    if (ok) {
      ok = is_standard(output) ? write_standard(in, shown, rewrite)
                               : write_file(in, file.get(), identity, shown, output, rewrite);
    }
    if (file) file->close();
    return ok;
  }

 private:
  // A file written in place, as standard output is, must not be the input: it would be
  // written over while it is read, or read on as it grows.
  bool not_the_input(const std::optional<record_io::FileIdentity>& input,
                     const std::optional<record_io::FileIdentity>& output, const std::string& shown,
                     const std::string& output_name) {
    if (!record_io::same_file(input, output)) return true;
    const std::string written = output_name.empty() ? "standard output" : output_name;
    say(std::string(program) + ": " + shown + ": " + written +
        " is this input itself; nothing is written (name it as the output instead)");
    return false;
  }

  // The first reading: every message about the record is said here.
  bool check(TwiceRead& in, const std::string& shown, const Rewrite& rewrite) {
    const RecordResult r = normalize_record(in, nullptr, rewrite);
    for (const Diagnostic& d : r.diagnostics) say(diagnostic_line(shown, d));
    if (in.copy_error() != 0) {
      say(std::string(program) + ": " + shown +
          ": cannot keep a copy for the second reading: " + std::strerror(in.copy_error()));
    } else if (r.read_error != 0) {
      say_system(shown, r.read_error);
    }
    return r.ok();
  }

  bool write_standard(TwiceRead& in, const std::string& shown, const Rewrite& rewrite) {
    const RecordResult r = normalize_record(in, &streams_.output, rewrite);
    return written(r, shown, standard_output_name, false);
  }

  // The record goes to a temporary file beside `output`, which replaces it only once the
  // record is whole: until then, and whatever stops the run, `output` is as it was.
  bool write_file(TwiceRead& in, record_io::ByteChannel* input_file,
                  const std::optional<record_io::FileIdentity>& identity, const std::string& shown,
                  const std::string& output, const Rewrite& rewrite) {
    record_io::FileReplacement out(output);
    if (out.error() != 0) {
      say_system(output, out.error());
      return false;
    }
    if (out.in_place() && !not_the_input(identity, out.identity(), shown, output)) return false;
    RecordResult r = normalize_record(in, &out.channel(), rewrite);
    // The input may be the output, and Windows renames no file that is open.
    if (input_file) input_file->close();
    if (r.ok() && !out.commit()) r.write_error = errno;
    return written(r, shown, output, !out.in_place());
  }

  // The end of the second reading. Its messages were said in the first, unless the input
  // changed in between; `whole`: the output was left as it was unless the record is whole.
  bool written(const RecordResult& r, const std::string& shown, std::string_view output,
               bool whole) {
    if (r.read_error != 0) {
      say_system(shown, r.read_error);
    } else if (r.write_error != 0) {
      say_system(output, r.write_error);
    } else if (r.refused) {
      say(diagnostic_line(shown, r.diagnostics.back()));
      say(std::string(program) + ": " + shown + " changed while it was read; " +
          std::string(output) + (whole ? " is left as it was" : " is incomplete"));
    }
    return r.ok();
  }

  Streams streams_;
  record_io::TextWriter messages_;
};

// The output name of `file` in `folder`: the folder and the file's own name.
std::string in_folder(const std::string& folder, const std::string& file);

}  // namespace normalize
