#include "record_io/formatted_write.hpp"

#include <charconv>
#include <cstring>

#include "fixed_edit.hpp"
#include "runtime_core.hpp"

namespace record_io {

using detail::DataEdit;
using detail::Edit;
using detail::FormatCursor;

constexpr const char* context = "fmt";

void FormattedWrite::start(Runtime& io, int unit) {
  io_ = &io.core();
  unit_ = &io_->begin_statement(unit, false, &format_);
  recorded_ = true;
  // Usually a format with fixed widths, its first record built straight in the unit's
  // output buffer: the record buffer is not needed.
  if (format_.fixed_layout()) {
    std::string_view layout = format_.layout();
    TextWriter& writer = io_->writer(*unit_);
    layout_ = writer.room(layout.size());
    if (layout_) {
      direct_ = &writer;
      quick_end_ += format_.quick_reals();
      detail::copy_layout(layout_, layout.data(), layout.size());
      io_->remember_quick_write(unit, *unit_, writer);
      return;
    }
  }
  start_in_record();
}

void FormattedWrite::record_format() {
  if (recorded_) return;
  recorded_ = true;
  io_->record_format(format_);
}

void FormattedWrite::start_in_record() {
  RecordBuffer& record = io_->record();
  record.clear();
  if (!format_.fixed_layout()) return;
  std::string_view layout = format_.layout();
  layout_ = record.extend(layout.size());
  quick_end_ += format_.quick_reals();
  std::memcpy(layout_, layout.data(), layout.size());
}

void FormattedWrite::hand_over_layout(std::size_t n) {
  if (direct_) {
    direct_->commit(n);
  } else {
    io_->record().truncate(n);
    io_->put_record(*unit_, io_->record().view());
  }
  layout_ = nullptr;
  direct_ = nullptr;
  // A format started again reads its edits from the group it starts from: none of them
  // at a column of the layout.
  quick_end_ = format_.data_edits().data();
}

char* FormattedWrite::next_field(Edit::Kind kind, std::size_t width, const Edit** edit) {
  record_format();
  bool restarted = false;
  const DataEdit* d = cursor_.next(&restarted);
  if (!d) io_->fail(error_in_format, context);
  if (restarted) {  // more items than the format holds: this record is done
    if (layout_) {
      hand_over_layout(format_.layout().size());
    } else {
      put_text(format_.tail());
      io_->put_record(*unit_, io_->record().view());
    }
    io_->record().clear();
  }
  if (d->edit.kind != kind) io_->fail(error_in_format, context);
  *edit = &d->edit;
  if (layout_) return layout_ + d->column;
  put_text(format_.lead(*d));
  return io_->record().extend(d->edit.width > 0 ? static_cast<std::size_t>(d->edit.width) : width);
}

void FormattedWrite::put_text(std::string_view s) {
  char* out = io_->record().extend(s.size());
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

FormattedWrite& FormattedWrite::real_other(float v) {
  if (const DataEdit* d = layout_ ? cursor_.take(Edit::Kind::real) : nullptr) {
    edit_fixed(layout_ + d->column, v, d->edit.width, d->edit.decimals);
    return *this;
  }
  const Edit* e = nullptr;
  char* out = next_field(Edit::Kind::real, 0, &e);
  edit_fixed(out, v, e->width, e->decimals);
  return *this;
}

void FormattedWrite::end_in_full() {
  // The record runs to the literals before the next data edit, or to the end of the format.
  const DataEdit* next = cursor_.peek();
  if (layout_) {
    io_->clear_format();
    hand_over_layout(next ? next->column - next->lead_size + next->lead_text_size
                          : format_.layout().size());
    return;
  }
  put_text(next ? format_.lead(*next).substr(0, next->lead_text_size) : format_.tail());
  io_->clear_format();
  io_->put_record(*unit_, io_->record().view());
}

}  // namespace record_io
