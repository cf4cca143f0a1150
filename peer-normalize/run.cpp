#include "run.hpp"

#include <filesystem>

namespace normalize {

void Run::say(std::string_view line) {
  messages_.put(line);
  messages_.flush();
}

void Run::say_system(std::string_view name, int error) {
  say(std::string(program) + ": " + std::string(name) + ": " + std::strerror(error));
}

int Run::print(std::string_view lines) {
  record_io::TextWriter out(streams_.output);
  for (std::size_t start = 0; start < lines.size();) {
    std::size_t end = lines.find('\n', start);
    if (end == std::string_view::npos) end = lines.size();
    out.put(lines.substr(start, end - start));
    start = end + 1;
  }
  return out.flush() ? exit_success : exit_refused;
}

bool Run::normalize(const std::string& input, const std::string& output, const Rewrite& rewrite) {
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

bool Run::not_the_input(const std::optional<record_io::FileIdentity>& input,
                        const std::optional<record_io::FileIdentity>& output,
                        const std::string& shown, const std::string& output_name) {
  if (!record_io::same_file(input, output)) return true;
  const std::string written = output_name.empty() ? "standard output" : output_name;
  say(std::string(program) + ": " + shown + ": " + written +
      " is this input itself; nothing is written (name it as the output instead)");
  return false;
}

bool Run::check(TwiceRead& in, const std::string& shown, const Rewrite& rewrite) {
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

bool Run::write_standard(TwiceRead& in, const std::string& shown, const Rewrite& rewrite) {
  const RecordResult r = normalize_record(in, &streams_.output, rewrite);
  return written(r, shown, standard_output_name, false);
}

bool Run::write_file(TwiceRead& in, record_io::ByteChannel* input_file,
                     const std::optional<record_io::FileIdentity>& identity,
                     const std::string& shown, const std::string& output, const Rewrite& rewrite) {
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

bool Run::written(const RecordResult& r, const std::string& shown, std::string_view output,
                  bool whole) {
  if (r.read_error != 0) {
    say_system(shown, r.read_error);
  } else if (r.write_error != 0) {
    say_system(output, r.write_error);
  } else if (r.refused) {
    say(diagnostic_line(shown, r.diagnostics.back()));
    say(std::string(program) + ": " + shown + " changed while it was read; " + std::string(output) +
        (whole ? " is left as it was" : " is incomplete"));
  }
  return r.ok();
}

std::string in_folder(const std::string& folder, const std::string& file) {
  // Composed with "/", which every system takes, so that messages read the same on all.
  return (std::filesystem::path(folder) / std::filesystem::path(file).filename()).generic_string();
}

}  // namespace normalize
