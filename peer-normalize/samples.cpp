#include "samples.hpp"

#include <algorithm>
#include <cerrno>

#include "record_io/list_read.hpp"
#include "units.hpp"

namespace normalize {

namespace {

constexpr int values_per_line = 5;
constexpr std::size_t field_width = 15;
constexpr std::size_t shown_length = 24;

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// Where a value may end: a separator, a slash or the line end.
bool ends_value(const char* p, const char* end) {
  return p == end || is_blank(*p) || *p == ',' || *p == '/';
}

// Text for a message: control characters escaped, long texts cut short.
std::string shown(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t k = 0; k < text.size() && k < shown_length; ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > shown_length) out += "...";
  return out;
}

}  // namespace

SampleCopier::SampleCopier(std::int64_t points, record_io::TextWriter* out, std::int64_t limit,
                           double factor)
    : points_(static_cast<std::uint64_t>(std::max<std::int64_t>(points, 0))),
      out_(out),
      limit_(limit < 0 ? points_ : std::min(points_, static_cast<std::uint64_t>(limit))),
      factor_(factor) {}

bool SampleCopier::refuse(const char* begin, const char* at, const char* end, long number,
                          std::uint64_t offset, std::string_view what) {
  const char* stop = at + 1;
  while (*at != ',' && stop < end && !is_blank(*stop) && *stop != ',') ++stop;
  problem_.line = number;
  problem_.column = static_cast<long>(offset + static_cast<std::uint64_t>(at - begin)) + 1;
  problem_.text =
      std::string(what) + ", found '" + shown({at, static_cast<std::size_t>(stop - at)}) + "'";
  return false;
}

bool SampleCopier::put_line() {
  in_line_ = 0;
  if (out_->put(line_)) {
    line_.clear();
    return true;
  }
  write_error_ = errno;
  return false;
}

bool SampleCopier::put_value(std::string_view text) {
  const std::size_t pad = text.size() < field_width ? field_width - text.size() : 1;
  line_.append(pad, ' ');
  line_ += text;
  ++written_;
  return ++in_line_ < values_per_line || put_line();
}

bool SampleCopier::add(std::string_view text, std::uint64_t copies, long number) {
  values_ += copies;
  if (values_ > points_ && first_extra_line_ == 0) first_extra_line_ = number;
  if (!out_) return true;
  const std::uint64_t kept = std::min(copies, limit_ > written_ ? limit_ - written_ : 0);
  for (std::uint64_t k = 0; k < kept; ++k) {
    if (!put_value(text)) return false;
  }
  return true;
}

bool SampleCopier::pad(std::uint64_t count) {
  for (std::uint64_t k = 0; out_ && k < count; ++k) {
    if (!put_value("0.")) return false;
  }
  return true;
}

void SampleCopier::start_line() {
  after_value_ = false;
}

bool SampleCopier::take(std::string_view piece, long number, std::uint64_t offset, bool more,
                        std::size_t& taken) {
  const char* const begin = piece.data();
  const char* end = begin + piece.size();
  if (more) {
    // A value at the end of the piece may go on in the next one, which starts with it.
    while (end > begin && !is_blank(end[-1]) && end[-1] != ',' && end[-1] != '/') --end;
    if (end == begin) {
      taken = 0;
      return refuse(
          begin, begin, begin + piece.size(), number, offset,
          "expected a number no longer than " + std::to_string(piece.size() - 1) + " characters");
    }
  }
  taken = static_cast<std::size_t>(end - begin);
  for (const char* p = begin;;) {
    while (p < end && is_blank(*p)) ++p;
    if (p == end) return true;
    if (*p == ',') {
      if (!after_value_) {
        return refuse(begin, p, end, number, offset, "expected a number before the comma");
      }
      after_value_ = false;
      ++p;
      continue;
    }
    if (*p == '/') return refuse(begin, p, end, number, offset, "expected a number");
    const record_io::ListScan scan = record_io::scan_list_item(p, end, true);
    if (!ends_value(scan.next, end)) {
      return refuse(begin, p, end, number, offset, "expected a number");
    }
    std::string_view value(p, static_cast<std::size_t>(scan.next - p));
    std::string converted;
    if (factor_ != 0 && (scan.kind == record_io::ListScan::number ||
                         scan.kind == record_io::ListScan::repeated_number)) {
      converted = converted_text(scan.value, factor_);
      if (converted.empty()) {
        return refuse(begin, p, end, number, offset,
                      "expected a value that stays finite in single precision in the new unit");
      }
    }
    if (measured_ && (scan.kind == record_io::ListScan::number ||
                      scan.kind == record_io::ListScan::repeated_number)) {
      const std::uint64_t within = values_ < points_ ? points_ - values_ : 0;
      const std::uint64_t n = scan.kind == record_io::ListScan::number ? 1 : scan.count;
      for (std::uint64_t k = 0; k < std::min(n, within); ++k) count_sample(*measured_, scan.value);
    }
    bool added = true;
    switch (scan.kind) {
      case record_io::ListScan::number:
        added = add(factor_ != 0 ? std::string_view(converted) : value, 1, number);
        break;
      case record_io::ListScan::repeated_number:
        added = add(factor_ != 0 ? std::string_view(converted) : value.substr(value.find('*') + 1),
                    scan.count, number);
        break;
      case record_io::ListScan::repeated_null:
        return refuse(begin, p, end, number, offset, "expected a value after the repetition count");
      default:
        return refuse(begin, p, end, number, offset, "expected a number");
    }
    if (!added) return false;
    after_value_ = true;
    p = scan.next;
  }
}

bool SampleCopier::finish() {
  return !out_ || in_line_ == 0 || put_line();
}

}  // namespace normalize
