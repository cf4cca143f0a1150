#include "record.hpp"

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

#include "header_line.hpp"
#include "record_io/text_reader.hpp"
#include "samples.hpp"
#include "time_step.hpp"

namespace normalize {

namespace {

constexpr int title_lines = 3;
constexpr long header_line_number = 4;

// The lines of a channel, each without its line end and the carriage returns before it.
class Lines {
 public:
  explicit Lines(record_io::ByteChannel& in) : reader_(in) {}

  // The next line; false at the end of the input, or when reading failed (error()). The
  // view is valid until the next call.
  bool next(std::string_view& text) {
    if (started_ && !reader_.skip_line()) return false;
    started_ = true;
    const record_io::TextReader::Line line = reader_.line();
    if (!line.terminated && line.begin == line.end) return false;
    const char* end = line.end;
    while (end > line.begin && end[-1] == '\r') --end;
    text = std::string_view(line.begin, static_cast<std::size_t>(end - line.begin));
    ++number_;
    return true;
  }
  // The number of the line given last; 0 before the first.
  long number() const { return number_; }
  int error() const { return reader_.error(); }

 private:
  record_io::TextReader reader_;
  bool started_ = false;
  long number_ = 0;
};

class Normalizer {
 public:
  Normalizer(record_io::ByteChannel& in, record_io::TextWriter* out) : lines_(in), out_(out) {}

  RecordResult run() {
    std::string_view text;
    for (int k = 0; k < title_lines; ++k) {
      if (!lines_.next(text)) return ended_before_header();
      if (!put(text)) return std::move(result_);
    }
    if (!lines_.next(text)) return ended_before_header();
    const HeaderLine header = recognize_header(text);
    if (!header.ok) return refuse(header_line_number, header.column, header.problem);
    const TimeStepText step = time_step_text(header.time_step);
    if (!step.exact) {
      warn(header_line_number, header.column,
           "the time step " + header.time_step_text +
               " does not fit the seven columns of the header; written as " + step.text);
    }
    if (!put(old_layout_header(header.points, step.text))) return std::move(result_);

    SampleCopier copier(header.points, out_);
    while (lines_.next(text)) {
      if (copier.take_line(text, lines_.number())) continue;
      if (copier.write_error() != 0) {
        result_.write_error = copier.write_error();
        return std::move(result_);
      }
      return refuse(copier.problem());
    }
    if (lines_.error() != 0) return read_failed();
    const auto points = static_cast<std::uint64_t>(header.points);
    if (copier.values() < points) {
      return refuse(lines_.number(), 0,
                    std::to_string(copier.values()) + " values, fewer than the " +
                        std::to_string(points) + " the header counts (NPTS)");
    }
    if (copier.values() > points) {
      const std::uint64_t extra = copier.values() - points;
      warn(copier.first_extra_line(), 0,
           std::to_string(extra) + (extra == 1 ? " value" : " values") + " beyond the " +
               std::to_string(points) + " the header counts (NPTS); left out");
    }
    if (!copier.finish()) result_.write_error = copier.write_error();
    return std::move(result_);
  }

 private:
  bool put(std::string_view text) {
    if (!out_ || out_->put(text)) return true;
    result_.write_error = errno;
    return false;
  }

  void warn(long line, long column, std::string text) {
    result_.diagnostics.push_back({Diagnostic::Severity::warning, line, column, std::move(text)});
  }

  RecordResult refuse(Diagnostic problem) {
    result_.diagnostics.push_back(std::move(problem));
    result_.refused = true;
    return std::move(result_);
  }
  RecordResult refuse(long line, long column, std::string text) {
    return refuse({Diagnostic::Severity::error, line, column, std::move(text)});
  }

  RecordResult read_failed() {
    result_.read_error = lines_.error();
    return std::move(result_);
  }

  RecordResult ended_before_header() {
    if (lines_.error() != 0) return read_failed();
    return refuse(std::max(lines_.number(), 1L), 0,
                  "the record ends before its header line (line 4)");
  }

  Lines lines_;
  record_io::TextWriter* out_;
  RecordResult result_;
};

}  // namespace

RecordResult normalize_record(record_io::ByteChannel& in, record_io::TextWriter* out) {
  return Normalizer(in, out).run();
}

}  // namespace normalize
