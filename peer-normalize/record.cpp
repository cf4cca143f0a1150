#include "record.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "header_line.hpp"
#include "lines.hpp"
#include "record_io/text_reader.hpp"
#include "record_io/text_writer.hpp"
#include "samples.hpp"
#include "time_step.hpp"

namespace normalize {

namespace {

constexpr int title_lines = 3;
constexpr long header_line_number = 4;
constexpr int units_line = 2;  // the third title line, from 0

// Where the record goes: whole lines through a buffer, and the pieces of a line longer than
// the buffer straight to the channel after what is buffered.
class Output {
 public:
  explicit Output(record_io::ByteChannel& channel) : channel_(channel), text_(channel) {}

  record_io::TextWriter& text() { return text_; }
  bool put_piece(std::string_view piece) {
    return text_.flush() && channel_.write(piece.data(), piece.size()) == piece.size();
  }
  bool put_carriage_returns(std::uint64_t count) {
    static constexpr std::string_view returns = "\r\r\r\r\r\r\r\r\r\r\r\r\r\r\r\r";
    for (; count > 0; count -= std::min<std::uint64_t>(count, returns.size())) {
      if (!put_piece(returns.substr(0, std::min<std::uint64_t>(count, returns.size())))) {
        return false;
      }
    }
    return true;
  }

 private:
  record_io::ByteChannel& channel_;
  record_io::TextWriter text_;
};

class Normalizer {
 public:
  Normalizer(record_io::ByteChannel& in, record_io::ByteChannel* out, const Rewrite& rewrite)
      : lines_(in), rewrite_(rewrite) {
    if (out) out_.emplace(*out);
  }

  RecordResult run() {
    for (int k = 0; k < title_lines; ++k) {
      if (!lines_.next()) return ended_before_header();
      if (k == units_line && rewrite_.unit) {
        if (!convert_unit_line()) return std::move(result_);
      } else if (!copy_title()) {
        return std::move(result_);
      }
    }
    if (!lines_.next()) return ended_before_header();
    const HeaderLine header = recognize_header(header_text());
    if (!header.ok) return refuse(header_line_number, header.column, header.problem);
    const TimeStepText step = time_step_text(header.time_step);
    if (!step.exact) {
      warn(header_line_number, header.column,
           "the time step " + header.time_step_text +
               " does not fit the seven columns of the header; written as " + step.text);
    }
    result_.points = header.points;
    result_.time_step = header.time_step;
    const std::int64_t written = rewrite_.points.value_or(header.points);
    if (!put(old_layout_header(written, step.text))) return std::move(result_);

    SampleCopier copier(header.points, out_ ? &out_->text() : nullptr, written, factor_);
    while (lines_.next()) {
      if (take_values(copier)) continue;
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
    if (written > header.points &&
        !copier.pad(static_cast<std::uint64_t>(written - header.points))) {
      result_.write_error = copier.write_error();
    } else if (!copier.finish()) {
      result_.write_error = copier.write_error();
    } else if (out_ && !out_->text().flush()) {
      result_.write_error = errno;
    }
    return std::move(result_);
  }

 private:
  bool put(std::string_view text) {
    if (!out_ || out_->text().put(text)) return true;
    result_.write_error = errno;
    return false;
  }

  // The third title line with its unit renamed, and the factor to the new unit.
  bool convert_unit_line() {
    const std::string_view text = without_carriage_returns(text_of(lines_.piece()));
    if (lines_.piece().more) {
      return refused_here(units_line + 1, "the third title line is too long to rename its unit");
    }
    const NamedUnit named = unit_named(text);
    if (!named.unit) {
      return refused_here(units_line + 1, named.problem + "; nothing to convert from");
    }
    if (*named.unit != *rewrite_.unit) factor_ = unit_factor(*named.unit, *rewrite_.unit);
    return put(line_renamed(text, *rewrite_.unit));
  }

  // The current line, copied whole without the carriage returns before its end.
  bool copy_title() {
    if (!lines_.piece().more) return put(without_carriage_returns(text_of(lines_.piece())));
    // Longer than the buffer: carriage returns at the end of a piece are held back until
    // what follows them shows whether they end the line.
    std::uint64_t held = 0;
    for (;;) {
      const Piece& piece = lines_.piece();
      const std::string_view text = without_carriage_returns(text_of(piece));
      if (!text.empty() && out_) {
        if (!out_->put_carriage_returns(held) || !out_->put_piece(text)) {
          result_.write_error = errno;
          return false;
        }
      }
      if (!text.empty()) held = 0;
      held += static_cast<std::uint64_t>(piece.end - piece.begin) - text.size();
      if (!lines_.advance(piece.end)) break;
    }
    return put("");  // the line end
  }

  // The header line, or its first header_prefix characters cut after a whole word.
  std::string_view header_text() const {
    const std::string_view text = text_of(lines_.piece());
    if (!lines_.piece().more && text.size() <= header_prefix) {
      return without_carriage_returns(text);
    }
    const std::string_view prefix = text.substr(0, header_prefix);
    const std::size_t blank = prefix.find_last_of(" \t");
    return prefix.substr(0, blank == std::string_view::npos ? 0 : blank);
  }

  // The values of the current line, piece by piece.
  bool take_values(SampleCopier& copier) {
    copier.start_line();
    for (;;) {
      const Piece& piece = lines_.piece();
      std::string_view text = text_of(piece);
      if (!piece.more) text = without_carriage_returns(text);
      std::size_t taken = 0;
      if (!copier.take(text, lines_.number(), lines_.offset(), piece.more, taken)) return false;
      if (!lines_.advance(piece.begin + taken)) return true;
    }
  }

  void warn(long line, long column, std::string text) {
    result_.diagnostics.push_back({Diagnostic::Severity::warning, line, column, std::move(text)});
  }

  // Refuses the record, the result kept for run() to return; false.
  bool refused_here(long line, std::string text) {
    result_.diagnostics.push_back({Diagnostic::Severity::error, line, 0, std::move(text)});
    result_.refused = true;
    return false;
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
  const Rewrite& rewrite_;
  double factor_ = 0;  // to the unit of the rewrite; 0: the values as they are
  std::optional<Output> out_;
  RecordResult result_;
};

}  // namespace

std::string RecordResult::time_step_text() const {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, time_step).ptr) + " s";
}

RecordResult normalize_record(record_io::ByteChannel& in, record_io::ByteChannel* out,
                              const Rewrite& rewrite) {
  return Normalizer(in, out, rewrite).run();
}

}  // namespace normalize
