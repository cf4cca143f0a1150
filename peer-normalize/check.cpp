#include "check.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "folder.hpp"
#include "lines.hpp"
#include "merge_reading.hpp"
#include "record_io/file_replacement.hpp"
#include "record_view.hpp"
#include "text.hpp"
#include "units.hpp"

namespace normalize {

namespace {

// Ranks: what the merge refuses or misreads first, then values lost, then the three
// together, then notes.
enum Rank : int {
  refused = 0,
  destroyed = 1,
  header_columns = 2,
  values_lost = 3,
  lengths = 4,
  time_steps = 5,
  titles = 6,
  same_file = 10,
  resolution = 11,
  time_column = 12,
};

// The rounding error's RMS, as a share of the signal's, from which the resolution is noted.
constexpr double noted_rounding = 0.01;

std::string number_text(float v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::string without_trailing_blanks(const std::string& name) {
  const std::size_t end = name.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// The time the combined file writes for sample i (from 1).
double time_of(std::int64_t i, float dt) {
  return static_cast<double>(static_cast<float>(static_cast<double>(i - 1) * dt));
}

// The event and station a title's second line names: all but its last comma-separated
// field (the component), blanks folded and in upper case; empty where the line has fewer
// than three fields, and so cannot tell.
std::string event_and_station(const std::string& line) {
  const std::size_t last = line.rfind(',');
  if (last == std::string::npos || line.find(',') == last) return {};
  std::string folded;
  for (char c : line.substr(0, last)) {
    if (c == ' ' || c == '\t') {
      if (!folded.empty() && folded.back() != ' ') folded += ' ';
      continue;
    }
    folded += upper_case(c);
  }
  while (!folded.empty() && folded.back() == ' ') folded.pop_back();
  return folded;
}

struct Record {
  std::string name;
  std::optional<record_io::FileIdentity> identity;
  MergeReading merge;
  RecordView view;
  bool viewed = false;  // read as a record: its titles count
  // The count and time step that the combined file gets from it, where known: the merge's
  // columns, or the header's words when the merge does not read them.
  std::optional<std::int64_t> points;
  float time_step = 0;
  std::string title_key;
};

class Checker {
 public:
  explicit Checker(CheckReport& report) : report_(report) {}

  void record(std::size_t index, Record& r) {
    r.merge = read_as_merge(r.name);
    record_io::OpenedInput opened = record_io::open_input(without_trailing_blanks(r.name));
    if (!opened.channel) {
      problem(index, refused, 0, 0,
              "the merge cannot open it: " + (r.merge.failure.empty()
                                                  ? std::string(std::strerror(opened.error))
                                                  : r.merge.failure));
      return;
    }
    r.identity = opened.identity;
    r.view =
        view_record(*opened.channel, r.merge.header_read ? r.merge.points : 0, r.merge.statement);
    opened.channel->close();
    r.viewed = true;
    const RecordView& v = r.view;
    if (v.read_error != 0) {
      problem(index, refused, 0, 0, std::string("cannot be read: ") + std::strerror(v.read_error));
      return;
    }
    r.title_key = event_and_station(v.titles[1]);
    if (r.merge.header_read) {
      r.points = r.merge.points;
      r.time_step = r.merge.time_step;
    } else if (v.header.ok) {
      r.points = v.header.points;
      r.time_step = v.header.time_step;
    }
    if (!not_a_record(index, r)) {
      // What the three would have in common says nothing more of it.
      r.points.reset();
      r.title_key.clear();
      r.viewed = false;
      return;
    }
    header_columns_differ(index, r);
    if (!r.merge.whole()) refusal(index, r);
    if (r.merge.whole() || r.merge.stage == MergeReading::Stage::samples) {
      values_passed_over(index, r);
    }
    if (r.merge.whole()) {
      resolution_of(index, r, r.merge.resolution);
    } else if (normalizable(r.view)) {
      // What the merge reads once the record is normalised.
      resolution_of(index, r, r.view.resolution);
    }
    time_column_of(index, r);
  }

  void three(std::vector<Record>& rs) {
    const Record& third = rs[2];
    for (std::size_t i = 0; i < rs.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (record_io::same_file(rs[i].identity, rs[j].identity)) {
          note(i, same_file, 0, 0, "the same file as " + rs[j].name + " (given twice)");
          break;
        }
      }
    }
    if (third.points) {
      for (std::size_t i = 0; i < 2; ++i) lengths_against_third(i, rs[i], third);
    }
    for (std::size_t i = 0; i < 2; ++i) {
      const Record& r = rs[i];
      if (!r.points || !third.points || r.time_step == third.time_step) continue;
      problem(i, time_steps, 4, 0,
              "its time step " + number_text(r.time_step) +
                  " s differs from the third component's " + number_text(third.time_step) +
                  " s: the combined file's time column, which follows the third, puts its "
                  "samples at wrong times; peer-normalize does not resample");
    }
    for (std::size_t i = 1; i < rs.size(); ++i) {
      const Record& r = rs[i];
      if (r.title_key.empty() || rs[0].title_key.empty() || r.title_key == rs[0].title_key ||
          record_io::same_file(r.identity, rs[0].identity)) {
        continue;
      }
      problem(i, titles, 2, 0,
              "its title names '" + r.title_key + "', the first component's '" + rs[0].title_key +
                  "': records of different events or stations");
    }
    quantities_and_units(rs);
  }

  // What the third title lines say of the samples: the quantity, and the unit.
  void quantities_and_units(const std::vector<Record>& rs) {
    const auto quantity = [](const Record& r) {
      const std::string& line = r.view.titles[2];
      std::string word;
      for (char c : line.substr(0, line.find_first_of(" \t"))) {
        word += upper_case(c);
      }
      return word == "ACCELERATION" || word == "VELOCITY" || word == "DISPLACEMENT" ? word : "";
    };
    const std::string first = quantity(rs[0]);
    const NamedUnit first_unit = unit_named(rs[0].view.titles[2]);
    for (std::size_t i = 1; i < rs.size(); ++i) {
      if (!rs[i].viewed || !rs[0].viewed) continue;
      const std::string q = quantity(rs[i]);
      if (!q.empty() && !first.empty() && q != first) {
        problem(i, titles, 3, 0, "its samples are of " + q + ", the first component's of " + first);
        continue;
      }
      const NamedUnit unit = unit_named(rs[i].view.titles[2]);
      if (unit.unit && first_unit.unit && *unit.unit != *first_unit.unit) {
        problem(i, titles, 3, 0,
                "its samples are in " + std::string(unit_name(*unit.unit)) +
                    ", the first component's in " + std::string(unit_name(*first_unit.unit)) +
                    ": --units " + std::string(unit_name(*first_unit.unit)) +
                    " writes them in one unit");
      }
    }
  }

  void output(std::size_t index, const std::string& typed, const std::vector<Record>& rs) {
    const std::string name = without_trailing_blanks(typed);
    record_io::OpenedInput opened = record_io::open_input(name);
    if (!opened.channel) {
      if (opened.error == EISDIR) {
        problem(index, destroyed, 0, 0, "is a folder: the merge cannot write the combined file");
        return;
      }
      const std::string folder = folder_of(name);
      if (opened.error == ENOENT && !folder.empty() && folder_error(folder) != 0) {
        problem(index, destroyed, 0, 0,
                "there is no folder '" + folder +
                    "' to write it in: the merge reads all three records, then stops");
      }
      return;
    }
    for (const Record& r : rs) {
      if (record_io::same_file(opened.identity, r.identity)) {
        opened.channel->close();
        problem(
            index, destroyed, 0, 0,
            "is " + r.name + " itself: the merge would write the combined file over that record");
        return;
      }
    }
    if (opened.identity) {
      Lines lines(*opened.channel);
      while (lines.next()) {
        std::string_view text = text_of(lines.piece());
        if (!lines.piece().more) text = without_carriage_returns(text);
        if (lines.piece().more || !is_combined_record(text)) {
          problem(index, destroyed, lines.number(), 0,
                  "exists and is not a combined file (this line is not one of its 40-character "
                  "records): the merge would write over it");
          break;
        }
      }
    }
    opened.channel->close();
  }

 private:
  void add(Finding::Kind kind, std::size_t file, int rank, long line, long column,
           std::string text) {
    report_.findings.push_back({kind, rank, file, line, column, std::move(text)});
  }
  void problem(std::size_t file, int rank, long line, long column, std::string text) {
    add(Finding::Kind::problem, file, rank, line, column, std::move(text));
  }
  void note(std::size_t file, int rank, long line, long column, std::string text) {
    add(Finding::Kind::note, file, rank, line, column, std::move(text));
  }

  // False, said, when the file is not a single-component record at all.
  bool not_a_record(std::size_t index, const Record& r) {
    const RecordView& v = r.view;
    if (!v.has_header_line) {
      problem(index, refused, std::max(v.lines, 1L), 0,
              "not a record: it ends before its header line (line 4)" + merge_says(r));
      return false;
    }
    if (v.header.ok) return true;
    std::string text =
        "not a single-component record: line 4 gives no point count and time "
        "step (NPTS, DT)";
    if (v.combined_layout) text += "; it is a combined file (a time and three components a line)";
    if (r.merge.header_read) {
      text += "; the merge would read " + std::to_string(r.merge.points) + " points at " +
              number_text(r.merge.time_step) + " s from its columns";
    } else {
      text += merge_says(r);
    }
    problem(index, refused, 4, 0, text);
    return false;
  }

  static std::string merge_says(const Record& r) {
    return r.merge.failure.empty() ? std::string()
                                   : "; the merge stops with '" + r.merge.failure + "'";
  }

  void header_columns_differ(std::size_t index, const Record& r) {
    const HeaderLine& h = r.view.header;
    if (!r.merge.header_read) return;
    if (h.points != r.merge.points) {
      problem(index, header_columns, 4, h.points_column,
              "the header says " + std::to_string(h.points) +
                  " points (NPTS), but the merge reads " + std::to_string(r.merge.points) +
                  " from columns 6-11; peer-normalize rewrites the header in those columns");
    }
    if (h.time_step != r.merge.time_step) {
      problem(index, header_columns, 4, h.column,
              "the header says a time step of " + h.time_step_text +
                  " s (DT), but the merge reads " + number_text(r.merge.time_step) +
                  " from columns 17-23; peer-normalize rewrites the header in those columns");
    }
  }

  void refusal(std::size_t index, const Record& r) {
    const RecordView& v = r.view;
    long line = 0;
    long column = 0;
    switch (r.merge.stage) {
      case MergeReading::Stage::title:
        line = r.merge.title;
        break;
      case MergeReading::Stage::header:
        line = 4;
        break;
      case MergeReading::Stage::samples:
        line = v.statement_line;
        break;
      default:
        break;
    }
    std::string text = "the merge stops here with '" + r.merge.failure + "'";
    if (r.merge.stage == MergeReading::Stage::samples && v.refusal) {
      line = v.refusal->line;
      column = v.refusal->column;
      text += " (" + v.refusal->text + ")";
    } else if (r.merge.stage == MergeReading::Stage::samples && v.missing > 0) {
      text += ": it reads " + std::to_string(r.merge.points) +
              " points from the header but finds " + counted(v.missing, "value", "values") +
              " fewer";
    }
    if (r.merge.stage == MergeReading::Stage::header && v.header.ok) {
      text += ": the header's count and time step are not in its columns 6-11 and 17-23";
    }
    if (normalizable(v))
      text += "; peer-normalize rewrites the record in the layout the merge reads";
    problem(index, refused, line, column, text);
  }

  void values_passed_over(std::size_t index, const Record& r) {
    const RecordView& v = r.view;
    if (v.refusal) {
      problem(index, values_lost, v.refusal->line, v.refusal->column,
              v.refusal->text +
                  ": the merge takes it for an empty value or the end of a statement, "
                  "not for a sample");
      return;
    }
    if (v.dropped > 0) {
      problem(index, values_lost, v.first_dropped_line, 0,
              "this line holds " + std::to_string(v.first_dropped_line_values) +
                  " values; the merge takes five a statement and passes over the rest of its "
                  "last line: " +
                  counted(v.dropped, "value", "values") +
                  " dropped in all, and the samples after each moved to earlier times");
    }
    if (v.beyond > 0) {
      problem(index, values_lost, v.first_beyond_line, 0,
              counted(v.beyond, "value", "values") + " past the " + std::to_string(r.merge.points) +
                  " points the merge reads, from this line on: ignored");
    }
  }

  static bool normalizable(const RecordView& v) {
    return v.header.ok && !v.refusal && v.values >= static_cast<std::uint64_t>(v.header.points);
  }

  void resolution_of(std::size_t index, const Record& r, const Resolution& s) {
    const NamedUnit unit = unit_named(r.view.titles[2]);
    const bool in_cm = unit.unit == AccelerationUnit::cm_s2;
    const double share = s.signal_squares > 0 ? std::sqrt(s.error_squares / s.signal_squares) : 0.0;
    if (s.printed_zero > 0 && share >= noted_rounding) {
      char text[256];
      std::snprintf(text, sizeof text,
                    "%llu of %llu nonzero samples (%.0f%%) print as 0.000, and the rounding to 3 "
                    "decimals is %.1f%% of the signal (RMS)",
                    static_cast<unsigned long long>(s.printed_zero),
                    static_cast<unsigned long long>(s.nonzero),
                    100.0 * static_cast<double>(s.printed_zero) / static_cast<double>(s.nonzero),
                    100.0 * share);
      std::string line = text;
      if (!in_cm) line += "; --units cm/s2 keeps them";
      note(index, resolution, 3, 0, line);
    }
    if (s.asterisks > 0) {
      std::string line = counted(s.asterisks, "sample does", "samples do") +
                         " not fit the 10 columns of the combined file and print as asterisks";
      if (unit.unit && *unit.unit != AccelerationUnit::g) line += "; --units g keeps them";
      note(index, resolution, 3, 0, line);
    }
  }

  void time_column_of(std::size_t index, const Record& r) {
    if (!r.points || !(r.time_step > 0)) return;
    const long column = r.view.header.ok ? r.view.header.column : 0;
    const double ms = static_cast<double>(r.time_step) * 1000.0;
    if (std::fabs(ms - std::nearbyint(ms)) > 1e-3) {
      note(index, time_column, 4, column,
           "the time step " + number_text(r.time_step) +
               " s has more decimals than the 3 of the time column: its times are rounded (" +
               seconds(time_of(2, r.time_step)) + ", " + seconds(time_of(3, r.time_step)) +
               ", ...)");
    }
    if (*r.points > 0 && time_of(*r.points, r.time_step) >= 999.9995) {
      note(index, time_column, 4, column,
           "times from 1000 s on do not fit the 7 columns of the time column and print as "
           "asterisks");
    }
  }

  // Where the time steps agree, --triplets makes the lengths agree.
  static std::string pad_hint(const Record& r, const Record& third) {
    return r.time_step == third.time_step ? "; --triplets pads the shorter records to the longest"
                                          : "";
  }

  void lengths_against_third(std::size_t index, const Record& r, const Record& third) {
    if (!r.points) return;
    const std::int64_t n = *r.points;
    const std::int64_t rows = std::max<std::int64_t>(*third.points, 0);
    if (n < rows) {
      const std::int64_t from = std::max<std::int64_t>(n, 0);
      problem(index, lengths, 4, 0,
              std::to_string(n) + " points, the third component " + std::to_string(rows) +
                  ": the combined file gives it zeros from " +
                  seconds(time_of(from + 1, third.time_step)) + " on (" +
                  counted(static_cast<std::uint64_t>(rows - from), "sample", "samples") + ")" +
                  pad_hint(r, third));
    } else if (n > rows) {
      problem(index, lengths, 4, 0,
              std::to_string(n) + " points, the third component " + std::to_string(rows) +
                  ": the combined file keeps its first " + std::to_string(rows) + " and loses " +
                  counted(static_cast<std::uint64_t>(n - rows), "sample", "samples") + " from " +
                  seconds(time_of(rows + 1, r.time_step)) + " on" + pad_hint(r, third));
    }
  }

  CheckReport& report_;
};

}  // namespace

CheckReport check(const std::vector<std::string>& inputs, const std::string& output) {
  CheckReport report;
  report.files = inputs;
  report.inputs = inputs.size();
  std::vector<Record> records(inputs.size());
  Checker checker(report);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    records[i].name = inputs[i];
    checker.record(i, records[i]);
  }
  if (records.size() == 3) checker.three(records);
  if (!output.empty()) {
    report.files.push_back(output);
    checker.output(inputs.size(), output, records);
  }
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.rank < b.rank; });
  for (const Finding& f : report.findings) {
    (f.kind == Finding::Kind::problem ? report.problems : report.notes) += 1;
  }
  return report;
}

std::string finding_line(const CheckReport& report, const Finding& f) {
  std::string line = report.files[f.file] + ":";
  if (f.line > 0) line += std::to_string(f.line) + ":";
  if (f.line > 0 && f.column > 0) line += std::to_string(f.column) + ":";
  line += f.kind == Finding::Kind::note ? " note: " : " ";
  return line + f.text;
}

std::string summary_line(const CheckReport& report) {
  std::string line = "peer-normalize: ";
  if (report.problems == 0) {
    line += report.inputs > 1
                ? "no problem: the combined file holds every value of every record at its time"
                : "no problem: the merge reads every value of this record";
    if (report.notes > 0)
      line += " (" + counted(static_cast<std::uint64_t>(report.notes), "note", "notes") + ")";
    return line;
  }
  line += counted(static_cast<std::uint64_t>(report.problems), "problem", "problems");
  if (report.notes > 0)
    line += ", " + counted(static_cast<std::uint64_t>(report.notes), "note", "notes");
  return line + (report.inputs > 1 ? ": the combined file would not hold every value at its time"
                                   : ": the merge would not read every value of this record");
}

}  // namespace normalize
