#include "driver.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "check.hpp"
#include "command_line.hpp"
#include "folder.hpp"
#include "run.hpp"
#include "triplet_run.hpp"

namespace normalize {

namespace {

int run_check(Run& run, const Options& options) {
  const CheckReport report = check(options.inputs, options.output);
  std::string lines;
  for (const Finding& f : report.findings) lines += finding_line(report, f) + "\n";
  lines += summary_line(report) + "\n";
  if (run.print(lines) != exit_success) return exit_refused;
  return report.problems == 0 ? exit_success : exit_refused;
}

}  // namespace

int run(const std::vector<std::string_view>& arguments, Streams streams, std::string_view version) {
  Run run(streams);
  const Options options = parse_command_line(arguments);
  switch (options.action) {
    case Options::Action::help:
      return run.print(help_text());
    case Options::Action::version:
      return run.print(std::string(program) + " " + std::string(version) + "\n");
    case Options::Action::usage_error:
      run.say(std::string(program) + ": " + options.error);
      run.say("Try '" + std::string(program) + " --help' for more information.");
      return exit_usage;
    case Options::Action::check:
      return run_check(run, options);
    case Options::Action::normalize:
    case Options::Action::triplets:
      break;
  }
  const Rewrite rewrite{std::nullopt, options.unit};
  if (!options.to_directory) {
    return run.normalize(options.inputs.front(), options.output, rewrite) ? exit_success
                                                                          : exit_refused;
  }
  // Said once, before anything is read.
  if (const int error = folder_error(options.directory); error != 0) {
    run.say(std::string(program) + ": " + options.directory + ": " +
            (error == ENOENT ? std::string("no such folder") : std::strerror(error)));
    return exit_refused;
  }
  if (options.action == Options::Action::triplets) return run_triplets(run, options);
  int status = exit_success;
  std::set<std::string> outputs;
  for (const std::string& input : options.inputs) {
    const std::string output = in_folder(options.directory, input);
    if (!outputs.insert(output).second) {
      run.say(std::string(program) + ": " + input + ": " + output +
              " was written for an earlier input; left as it is");
      status = exit_refused;
      continue;
    }
    if (!run.normalize(input, output, rewrite)) status = exit_refused;
  }
  return status;
}

}  // namespace normalize
