#include "command_line.hpp"

namespace normalize {

namespace {

Options usage_error(std::string text) {
  Options o;
  o.action = Options::Action::usage_error;
  o.error = std::move(text);
  return o;
}

constexpr std::string_view directory_option = "--directory";
constexpr std::string_view units_option = "--units";

// --check: the names as they would be typed to the merge.
Options check_options(Options o) {
  if (o.to_directory || o.unit) return usage_error("--check only reads; it takes no -d or --units");
  if (o.inputs.size() == 2 || o.inputs.size() > 4) {
    return usage_error("--check takes one record, or three and the output's name");
  }
  for (const std::string& in : o.inputs) {
    if (in == "-")
      return usage_error("--check reads files by name, as the merge does; '-' is none");
  }
  if (o.inputs.size() == 4) {
    o.output = o.inputs[3];
    o.inputs.pop_back();
  }
  return o;
}

}  // namespace

std::string_view help_text() {
  return "Usage: peer-normalize [OPTION]... IN [OUT]\n"
         "  or:  peer-normalize [OPTION]... -d DIR IN...\n"
         "  or:  peer-normalize --check IN1 [IN2 IN3 [OUT]]\n"
         "  or:  peer-normalize --triplets [--cut] [--units=UNIT] -d DIR IN...\n"
         "Rewrite strong-motion records into the layout peer-merge reads: the three title\n"
         "lines as they are, the header as 'NPTS=nnnnnn, DT=ddddddd SEC' in fixed columns,\n"
         "and the samples five to a line, each value as IN writes it.\n"
         "\n"
         "  -d, --directory=DIR  write each IN to DIR under its own file name\n"
         "      --check          say, before a merge of IN1 IN2 IN3 into OUT, everything the\n"
         "                       combined file would not hold; reads only\n"
         "      --triplets       group the records into three-component sets by their\n"
         "                       names, write each set to DIR merge-ready and checked, with\n"
         "                       DIR/SET.answers for 'peer-merge < DIR/SET.answers'\n"
         "      --cut            with --triplets: cut a set to its shortest record\n"
         "                       (otherwise pad with zeros to the longest)\n"
         "      --units=UNIT     write the samples in UNIT (g, cm/s2 or m/s2), converted\n"
         "                       from the unit the third title line names\n"
         "  -h, --help           print this help and exit\n"
         "      --version        print the version and exit\n"
         "\n"
         "Without OUT, or with OUT '-', the record goes to standard output; IN '-' is\n"
         "standard input. Nothing is written for an input that is refused.\n"
         "Exit status: 0 when every record was written (warnings included), 1 when an\n"
         "input was refused or a file could not be read or written, 2 for a usage error.\n"
         "With --check: 0 when nothing is lost (notes aside), 1 when something is.\n";
}

Options parse_command_line(const std::vector<std::string_view>& arguments) {
  Options o;
  bool options_ended = false;
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string_view a = arguments[k];
    if (options_ended || a == "-" || a.empty() || a.front() != '-') {
      o.inputs.emplace_back(a);
      continue;
    }
    if (a == "--") {
      options_ended = true;
    } else if (a == "-h" || a == "--help") {
      o.action = Options::Action::help;
      return o;
    } else if (a == "--version") {
      o.action = Options::Action::version;
      return o;
    } else if (a == "--check" || a == "--triplets") {
      const auto action = a == "--check" ? Options::Action::check : Options::Action::triplets;
      if (o.action != Options::Action::normalize && o.action != action) {
        return usage_error("--check and --triplets do not go together");
      }
      o.action = action;
    } else if (a == "--cut") {
      o.cut = true;
    } else if (a == units_option || a.substr(0, units_option.size() + 1) == "--units=") {
      std::string_view name;
      if (a.size() > units_option.size()) {
        name = a.substr(units_option.size() + 1);
      } else if (k + 1 < arguments.size()) {
        name = arguments[++k];
      } else {
        return usage_error("option '--units' needs a unit (g, cm/s2 or m/s2)");
      }
      o.unit = unit_of_option(name);
      if (!o.unit) {
        return usage_error("unknown unit '" + std::string(name) + "' (g, cm/s2 or m/s2)");
      }
    } else if (a.substr(0, 2) == "-d" || a == directory_option ||
               a.substr(0, directory_option.size() + 1) == "--directory=") {
      std::string_view dir;
      if (a.size() > 2 && a[1] == 'd') {
        dir = a.substr(2);
      } else if (a.size() > directory_option.size()) {
        dir = a.substr(directory_option.size() + 1);
      } else if (k + 1 < arguments.size()) {
        dir = arguments[++k];
      } else {
        return usage_error("option '" + std::string(a) + "' needs a folder");
      }
      if (o.to_directory) return usage_error("more than one output folder (-d)");
      if (dir.empty()) return usage_error("empty folder name for -d");
      o.to_directory = true;
      o.directory = dir;
    } else {
      return usage_error("unknown option '" + std::string(a) + "'");
    }
  }
  if (o.inputs.empty()) return usage_error("missing input file");
  if (o.cut && o.action != Options::Action::triplets)
    return usage_error("--cut goes with --triplets");
  if (o.action == Options::Action::check) return check_options(std::move(o));
  if (o.action == Options::Action::triplets && !o.to_directory) {
    return usage_error("--triplets writes to a folder: give it with -d DIR");
  }
  if (o.to_directory) {
    for (const std::string& in : o.inputs) {
      if (in == "-") return usage_error("-d writes under the inputs' names; '-' has none");
    }
    return o;
  }
  if (o.inputs.size() > 2) {
    return usage_error("too many files ('" + o.inputs[2] + "'); for several, use -d DIR");
  }
  if (o.inputs.size() == 2) {
    o.output = o.inputs[1];
    o.inputs.pop_back();
  }
  return o;
}

}  // namespace normalize
