#include "record_view.hpp"

#include <algorithm>

#include "lines.hpp"
#include "record.hpp"
#include "samples.hpp"

namespace normalize {

namespace {

constexpr std::size_t kept_characters = 256;
constexpr std::uint64_t values_per_statement = 5;

// The merge's statements, fed the count of values on each line in turn.
class Statements {
 public:
  Statements(RecordView& view, std::int64_t points, std::uint64_t watch)
      : view_(view),
        remaining_(static_cast<std::uint64_t>(std::max<std::int64_t>(points, 0))),
        need_(std::min(values_per_statement, remaining_)),
        watch_(watch) {}

  void line(long number, std::uint64_t count) {
    if (remaining_ == 0) {
      past(number, count);
      return;
    }
    if (count == 0) return;
    if (statement_ == watch_ && need_ == std::min(values_per_statement, remaining_)) {
      view_.statement_line = number;
    }
    const std::uint64_t take = std::min(count, need_);
    need_ -= take;
    remaining_ -= take;
    count -= take;
    if (need_ != 0) return;
    ++statement_;
    need_ = std::min(values_per_statement, remaining_);
    if (count == 0) return;
    if (remaining_ == 0) {
      past(number, count);
      return;
    }
    if (view_.first_dropped_line == 0) {
      view_.first_dropped_line = number;
      view_.first_dropped_line_values = take + count;
    }
    view_.dropped += count;
  }

  void end(long last_line) {
    view_.missing = remaining_;
    if (remaining_ != 0 && view_.statement_line == 0) view_.statement_line = last_line;
  }

 private:
  void past(long number, std::uint64_t count) {
    if (count != 0 && view_.first_beyond_line == 0) view_.first_beyond_line = number;
    view_.beyond += count;
  }

  RecordView& view_;
  std::uint64_t remaining_;
  std::uint64_t need_;
  std::uint64_t statement_ = 0;
  std::uint64_t watch_;
};

std::string kept(const Piece& piece) {
  std::string_view text = text_of(piece);
  if (!piece.more) text = without_carriage_returns(text);
  return std::string(text.substr(0, kept_characters));
}

}  // namespace

bool is_combined_record(std::string_view line) {
  return line.size() == 40 && line[7] == ',' && line[18] == ',' && line[29] == ',';
}

RecordView view_record(record_io::ByteChannel& in, std::int64_t merge_points, std::uint64_t watch) {
  RecordView view;
  Lines lines(in);
  for (std::string& title : view.titles) {
    if (!lines.next()) break;
    title = kept(lines.piece());
  }
  if (lines.number() == 3 && lines.next()) {
    view.has_header_line = true;
    view.header_text = kept(lines.piece());
    std::string_view text = text_of(lines.piece());
    if (!lines.piece().more) text = without_carriage_returns(text);
    view.header = recognize_header(text.substr(0, header_prefix));
    view.combined_layout = is_combined_record(view.header_text);
    for (const std::string& title : view.titles) {
      view.combined_layout = view.combined_layout && is_combined_record(title);
    }
  }
  Statements statements(view, merge_points, watch);
  if (view.has_header_line) {
    SampleCopier copier(view.header.ok ? view.header.points : 0, nullptr);
    copier.measure(&view.resolution);
    bool counting = true;
    while (lines.next()) {
      if (!counting) continue;
      copier.start_line();
      const std::uint64_t before = copier.values();
      for (;;) {
        const Piece& piece = lines.piece();
        std::string_view text = text_of(piece);
        if (!piece.more) text = without_carriage_returns(text);
        std::size_t taken = 0;
        if (!copier.take(text, lines.number(), lines.offset(), piece.more, taken)) {
          view.refusal = copier.problem();
          counting = false;
          break;
        }
        if (!lines.advance(piece.begin + taken)) break;
      }
      if (counting) statements.line(lines.number(), copier.values() - before);
    }
    view.values = copier.values();
    if (counting) statements.end(lines.number());
  }
  view.lines = lines.number();
  view.read_error = lines.error();
  return view;
}

}  // namespace normalize
