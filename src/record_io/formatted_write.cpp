#include "record_io/formatted_write.hpp"

#include <charconv>
#include <cstring>

#include "record_io/fixed_edit.hpp"

namespace record_io {

namespace {

constexpr const char* context = "fmt";

}  // namespace

FormattedWrite::FormattedWrite(Runtime& io, int unit, const Format& format)
    : io_(io),
      unit_(io.begin_statement(unit, false, &format)),
      format_(format),
      record_(io.record()) {
  record_.clear();
}

char* FormattedWrite::field(std::size_t width) {
  record_.append(skip_, ' ');
  skip_ = 0;
  std::size_t at = record_.size();
  record_.resize(at + width);
  return record_.data() + at;
}

void FormattedWrite::put_literals() {
  const std::vector<Edit>& edits = format_.edits();
  while (edit_ < edits.size() && !edits[edit_].is_data()) {
    const Edit& e = edits[edit_++];
    if (e.kind == Edit::Kind::skip) {
      skip_ += static_cast<std::size_t>(e.width);
    } else {
      std::string_view s = format_.literal(e);
      std::memcpy(field(s.size()), s.data(), s.size());
    }
  }
}

const Edit& FormattedWrite::next_data_edit() {
  put_literals();
  if (edit_ == format_.edits().size()) {
    // More items than the format holds: this record is done, the format starts again.
    if (!format_.has_data_edit()) io_.fail(error_in_format, context);
    io_.put_record(unit_, record_);
    record_.clear();
    skip_ = 0;
    edit_ = format_.reversion();
    put_literals();
  }
  return format_.edits()[edit_++];
}

FormattedWrite& FormattedWrite::text(std::string_view s) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::text) io_.fail(error_in_format, context);
  std::size_t width = e.width > 0 ? static_cast<std::size_t>(e.width) : s.size();
  char* out = field(width);
  if (width > s.size()) {
    std::memset(out, ' ', width - s.size());
    std::memcpy(out + (width - s.size()), s.data(), s.size());
  } else {
    std::memcpy(out, s.data(), width);
  }
  return *this;
}

FormattedWrite& FormattedWrite::integer(std::int32_t v) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::integer) io_.fail(error_in_format, context);
  char text[16];
  char* end = std::to_chars(text, text + sizeof text, v).ptr;
  auto length = static_cast<std::size_t>(end - text);
  auto width = static_cast<std::size_t>(e.width);
  char* out = field(width);
  if (length > width) {
    std::memset(out, '*', width);
  } else {
    std::memset(out, ' ', width - length);
    std::memcpy(out + (width - length), text, length);
  }
  return *this;
}

FormattedWrite& FormattedWrite::real(float v) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::real) io_.fail(error_in_format, context);
  edit_fixed(field(static_cast<std::size_t>(e.width)), v, e.width, e.decimals);
  return *this;
}

void FormattedWrite::end() {
  put_literals();
  io_.clear_format();
  io_.put_record(unit_, record_);
}

}  // namespace record_io
