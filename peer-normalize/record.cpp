#include "record.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "header_line.hpp"
#include "record_io/text_reader.hpp"
#include "record_io/text_writer.hpp"
#include "samples.hpp"
#include "time_step.hpp"

namespace normalize {

namespace {

constexpr int title_lines = 3;
constexpr long header_line_number = 4;

using Piece = record_io::TextReader::Line;

std::string_view text_of(const Piece& piece) {
  return {piece.begin, static_cast<std::size_t>(piece.end - piece.begin)};
}

// The text without the carriage returns at its end.
std::string_view without_carriage_returns(std::string_view text) {
  while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// The lines of a channel, each without its line end, in pieces: a line longer than the
// reader's buffer comes a buffer at a time, any other in one piece.
class Lines {
 public:
  explicit Lines(record_io::ByteChannel& in) : reader_(in) {}

  // Starts the next line, the rest of the current one left unread; false at the end of
  // the input, or when reading failed (error()).
  bool next() {
    if (started_ && !reader_.skip_line()) return false;
    started_ = true;
    piece_ = reader_.line();
    if (!piece_.terminated && !piece_.more && piece_.begin == piece_.end) return false;
    ++number_;
    offset_ = 0;
    return true;
  }
  // The current piece of the line; more: the line goes on after it. The view is valid
  // until the next call of next() or advance().
  const Piece& piece() const { return piece_; }
  // Moves on to the rest of the line from p, within the current piece (a value cut by the
  // piece's end is then read whole); false when the current piece ends the line.
  bool advance(const char* p) {
    if (!piece_.more) return false;
    offset_ += static_cast<std::uint64_t>(p - piece_.begin);
    reader_.consume_to(p);
    piece_ = reader_.line();
    return true;
  }
  // The characters of the line before the current piece.
  std::uint64_t offset() const { return offset_; }
  // The number of the current line; 0 before the first.
  long number() const { return number_; }
  int error() const { return reader_.error(); }

 private:
  record_io::TextReader reader_;
  Piece piece_{};
  bool started_ = false;
  long number_ = 0;
  std::uint64_t offset_ = 0;
};

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
  Normalizer(record_io::ByteChannel& in, record_io::ByteChannel* out) : lines_(in) {
    if (out) out_.emplace(*out);
  }

  RecordResult run() {
    for (int k = 0; k < title_lines; ++k) {
      if (!lines_.next()) return ended_before_header();
      if (!copy_title()) return std::move(result_);
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
    if (!put(old_layout_header(header.points, step.text))) return std::move(result_);

    SampleCopier copier(header.points, out_ ? &out_->text() : nullptr);
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
    if (!copier.finish()) {
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
  std::optional<Output> out_;
  RecordResult result_;
};

}  // namespace

RecordResult normalize_record(record_io::ByteChannel& in, record_io::ByteChannel* out) {
  return Normalizer(in, out).run();
}

}  // namespace normalize
