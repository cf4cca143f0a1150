#include "record_io/formatted_write.hpp"

#include <charconv>
#include <cstring>

#include "fixed_edit.hpp"
#include "runtime_core.hpp"

namespace record_io {

using detail::DataEdit;
using detail::Edit;
using detail::FormatCursor;

namespace {

constexpr const char* context = "fmt";

// out[0..n) = from[0..n), without a call when n is 16 to 64 (a record such as the combined
// file's): two or four copies of 16 bytes, the last ones overlapping.
void copy_layout(char* out, const char* from, std::size_t n) {
  if (n < 16 || n > 64) {
    std::memcpy(out, from, n);
    return;
  }
  std::memcpy(out, from, 16);
  std::memcpy(out + n - 16, from + n - 16, 16);
  if (n > 32) {
    std::memcpy(out + 16, from + 16, 16);
    std::memcpy(out + n - 32, from + n - 32, 16);
  }
}

}  // namespace

FormattedWrite::FormattedWrite(Runtime& io, int unit, const Format& format)
    : io_(io.core()),
      unit_(io_.begin_statement(unit, false, &format)),
      format_(format),
      cursor_(format),
      record_(io_.record()) {
  // Usually a format with fixed widths, its first record built straight in the unit's
  // output buffer: the record buffer is not needed.
  if (format.fixed_layout()) {
    std::string_view layout = format.layout();
    TextWriter& writer = io_.writer(unit_);
    layout_ = writer.room(layout.size());
    if (layout_) {
      direct_ = &writer;
      copy_layout(layout_, layout.data(), layout.size());
      return;
    }
  }
  start_in_record();
}

void FormattedWrite::start_in_record() {
  record_.clear();
  if (!format_.fixed_layout()) return;
  std::string_view layout = format_.layout();
  layout_ = record_.extend(layout.size());
  std::memcpy(layout_, layout.data(), layout.size());
}

void FormattedWrite::fixed_field(char* out, float v, const Edit& e) {
  edit_fixed(out, v, e.width, e.decimals);
}

void FormattedWrite::end() {
  // Usually the whole first record of the format, built in the output buffer.
  if (direct_ && !cursor_.peek()) {
    io_.clear_format();
    direct_->commit(format_.layout().size());
    return;
  }
  end_record();
}

void FormattedWrite::hand_over_layout(std::size_t n) {
  if (direct_) {
    direct_->commit(n);
  } else {
    record_.truncate(n);
    io_.put_record(unit_, record_.view());
  }
  layout_ = nullptr;
  direct_ = nullptr;
}

char* FormattedWrite::next_field(Edit::Kind kind, std::size_t width, const Edit** edit) {
  bool restarted = false;
  const DataEdit* d = cursor_.next(&restarted);
  if (!d) io_.fail(error_in_format, context);
  if (restarted) {  // more items than the format holds: this record is done
    if (layout_) {
      hand_over_layout(format_.layout().size());
    } else {
      put_text(format_.tail());
      io_.put_record(unit_, record_.view());
    }
    record_.clear();
  }
  if (d->edit.kind != kind) io_.fail(error_in_format, context);
  *edit = &d->edit;
  if (layout_) return layout_ + d->column;
  put_text(format_.lead(*d));
  return record_.extend(d->edit.width > 0 ? static_cast<std::size_t>(d->edit.width) : width);
}

void FormattedWrite::put_text(std::string_view s) {
  char* out = record_.extend(s.size());
  for (char c : s) *out++ = c;  // usually one character: no call needed
}

FormattedWrite& FormattedWrite::text(std::string_view s) {
  const Edit* e = nullptr;
  char* out = next_field(Edit::Kind::text, s.size(), &e);
  std::size_t width = e->width > 0 ? static_cast<std::size_t>(e->width) : s.size();
  if (width > s.size()) {
    std::memset(out, ' ', width - s.size());
    std::memcpy(out + (width - s.size()), s.data(), s.size());
  } else {
    std::memcpy(out, s.data(), width);
  }
  return *this;
}

FormattedWrite& FormattedWrite::integer(std::int32_t v) {
  const Edit* e = nullptr;
  char* out = next_field(Edit::Kind::integer, 0, &e);
  char text[16];
  char* end = std::to_chars(text, text + sizeof text, v).ptr;
  place_right(out, text, static_cast<std::size_t>(end - text), static_cast<std::size_t>(e->width));
  return *this;
}

FormattedWrite& FormattedWrite::real_in_record(float v) {
  const Edit* e = nullptr;
  char* out = next_field(Edit::Kind::real, 0, &e);
  edit_fixed(out, v, e->width, e->decimals);
  return *this;
}

void FormattedWrite::end_record() {
  // The record runs to the literals before the next data edit, or to the end of the format.
  const DataEdit* next = cursor_.peek();
  if (layout_) {
    io_.clear_format();
    hand_over_layout(next ? next->column - next->lead_size + next->lead_text_size
                          : format_.layout().size());
    return;
  }
  put_text(next ? format_.lead(*next).substr(0, next->lead_text_size) : format_.tail());
  io_.clear_format();
  io_.put_record(unit_, record_.view());
}

}  // namespace record_io
