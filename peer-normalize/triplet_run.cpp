#include "triplet_run.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <set>

#include "check.hpp"
#include "record_io/file_replacement.hpp"
#include "record_io/text_writer.hpp"
#include "text.hpp"
#include "triplets.hpp"

namespace normalize {

namespace {

// From this many sets on, a terminal shows which set is being made.
constexpr std::size_t progress_from = 4;

// A line on a terminal, written over as the sets go, and cleared before any message.
class Progress {
 public:
  Progress(record_io::ByteChannel& terminal, std::size_t sets)
      : terminal_(terminal), on_(terminal.interactive() && sets >= progress_from), sets_(sets) {}

  void show(std::size_t k, const std::string& name) {
    if (!on_) return;
    clear();
    shown_ = std::string(program) + ": set " + std::to_string(k + 1) + " of " +
             std::to_string(sets_) + ": " + name;
    terminal_.write(shown_.data(), shown_.size());
  }
  void clear() {
    if (shown_.empty()) return;
    const std::string blank = "\r" + std::string(shown_.size(), ' ') + "\r";
    terminal_.write(blank.data(), blank.size());
    shown_.clear();
  }

 private:
  record_io::ByteChannel& terminal_;
  bool on_;
  std::size_t sets_;
  std::string shown_;
};

class SetMaker {
 public:
  SetMaker(Run& run, const Options& options, Progress& progress)
      : run_(run), options_(options), progress_(progress) {}

  bool make(const TripletSet& set) {
    name_ = set.name;
    const std::string answers = in_folder(options_.directory, set.name + ".answers");
    const std::string combined = in_folder(options_.directory, set.name + ".csv");
    std::vector<std::string> outputs;
    for (const std::string& f : set.files) outputs.push_back(in_folder(options_.directory, f));
    for (const std::string& out : {outputs[0], outputs[1], outputs[2], answers}) {
      if (!taken_.insert(out).second) {
        return refuse(out + " was written for an earlier set; left as it is");
      }
    }
    std::array<RecordResult, 3> first;
    for (std::size_t i = 0; i < 3; ++i) {
      if (!read_first(set.files[i], first[i])) return refuse("no set made");
    }
    if (first[0].time_step != first[2].time_step || first[1].time_step != first[2].time_step) {
      std::string steps;
      for (std::size_t i = 0; i < 3; ++i) {
        steps += (i ? ", " : "") + set.files[i] + " " + first[i].time_step_text();
      }
      return refuse("time steps differ (" + steps + "); not resampled, no set made");
    }
    std::int64_t points = first[0].points;
    for (const RecordResult& r : first) {
      points = options_.cut ? std::min(points, r.points) : std::max(points, r.points);
    }
    for (std::size_t i = 0; i < 3; ++i) said(set.files[i], first[i], points);
    const Rewrite rewrite{points, options_.unit};
    for (std::size_t i = 0; i < 3; ++i) {
      progress_.clear();
      if (!run_.normalize(set.files[i], outputs[i], rewrite)) return refuse("no set made");
    }
    const CheckReport report = check(outputs, combined);
    for (const Finding& f : report.findings) say(finding_line(report, f));
    if (report.problems > 0) return refuse("the check finds problems; no answers file");
    if (!write_answers(answers, outputs, combined)) return refuse("no answers file");
    say(std::string(program) + ": " + name_ + ": " + answers + " merges it into " + combined);
    return true;
  }

 private:
  void say(const std::string& line) {
    progress_.clear();
    run_.say(line);
  }

  bool refuse(const std::string& why) {
    say(std::string(program) + ": " + name_ + ": " + why);
    return false;
  }

  // The record read once, for its count and time step; its messages said when refused.
  bool read_first(const std::string& file, RecordResult& r) {
    record_io::OpenedInput opened = record_io::open_input(file);
    if (!opened.channel) {
      progress_.clear();
      run_.say_system(file, opened.error);
      return false;
    }
    r = normalize_record(*opened.channel, nullptr, Rewrite{std::nullopt, options_.unit});
    opened.channel->close();
    if (r.read_error != 0) {
      progress_.clear();
      run_.say_system(file, r.read_error);
    } else if (r.refused) {
      say(diagnostic_line(file, r.diagnostics.back()));
    }
    return r.ok();
  }

  void said(const std::string& file, const RecordResult& r, std::int64_t points) {
    const double from =
        static_cast<double>(std::min(points, r.points)) * static_cast<double>(r.time_step);
    if (r.points < points) {
      say(std::string(program) + ": " + name_ + ": " + file + " padded with " +
          counted(static_cast<std::size_t>(points - r.points), "zero", "zeros") + " from " +
          seconds(from) + " on, to " + std::to_string(points) + " points");
    } else if (r.points > points) {
      say(std::string(program) + ": " + name_ + ": " + file + " cut to " + std::to_string(points) +
          " points: its last " +
          counted(static_cast<std::size_t>(r.points - points), "sample", "samples") + ", from " +
          seconds(from) + " on, left out");
    }
  }

  bool write_answers(const std::string& answers, const std::vector<std::string>& outputs,
                     const std::string& combined) {
    record_io::FileReplacement out(answers);
    if (out.error() != 0) {
      run_.say_system(answers, out.error());
      return false;
    }
    record_io::TextWriter text(out.channel());
    bool ok = true;
    for (const std::string& name : outputs) ok = ok && text.put(name);
    ok = ok && text.put(combined) && text.flush() && out.commit();
    if (!ok) run_.say_system(answers, errno);
    return ok;
  }

  Run& run_;
  const Options& options_;
  Progress& progress_;
  std::string name_;
  std::set<std::string> taken_;
};

}  // namespace

int run_triplets(Run& run, const Options& options) {
  const Grouping grouping = group_triplets(options.inputs);
  Progress progress(run.error_channel(), grouping.sets.size());
  SetMaker maker(run, options, progress);
  std::size_t made = 0;
  for (std::size_t k = 0; k < grouping.sets.size(); ++k) {
    progress.show(k, grouping.sets[k].name);
    if (maker.make(grouping.sets[k])) ++made;
  }
  progress.clear();
  for (const LeftOver& l : grouping.left_over) {
    run.say(std::string(program) + ": " + l.file + ": forms no set: " + l.reason);
  }
  const std::size_t refused = grouping.sets.size() - made;
  run.say(std::string(program) + ": " + counted(made, "set made", "sets made") + ", " +
          std::to_string(refused) + " refused, " +
          counted(grouping.left_over.size(), "file", "files") + " left over");
  return refused == 0 && grouping.left_over.empty() ? exit_success : exit_refused;
}

}  // namespace normalize
