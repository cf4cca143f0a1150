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

const Edit& FormattedWrite::next_data_edit() {
  const std::vector<DataEdit>& data = format_.data_edits();
  const DataEdit* d = nullptr;
  if (edit_ < data.size()) {
    d = &data[edit_++];
  } else {
    // More items than the format holds: this record is done, the format starts again.
    if (data.empty()) io_.fail(error_in_format, context);
    put_text(format_.tail());
    io_.put_record(unit_, record_.view());
    record_.clear();
    d = &format_.reversion_edit();
    edit_ = format_.data_reversion() + 1;
  }
  put_text(format_.lead(*d));
  return d->edit;
}

void FormattedWrite::put_text(std::string_view s) {
  char* out = record_.extend(s.size());
  for (char c : s) *out++ = c;  // usually one character: no call needed
}

FormattedWrite& FormattedWrite::text(std::string_view s) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::text) io_.fail(error_in_format, context);
  std::size_t width = e.width > 0 ? static_cast<std::size_t>(e.width) : s.size();
  char* out = record_.extend(width);
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
  char* out = record_.extend(width);
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
  edit_fixed(record_.extend(static_cast<std::size_t>(e.width)), v, e.width, e.decimals);
  return *this;
}

void FormattedWrite::end() {
  // The literals up to the next data edit, or to the end of the format.
  const std::vector<DataEdit>& data = format_.data_edits();
  put_text(edit_ < data.size() ? format_.lead(data[edit_]).substr(0, data[edit_].lead_text_size)
                               : format_.tail());
  io_.clear_format();
  io_.put_record(unit_, record_.view());
}

}  // namespace record_io
