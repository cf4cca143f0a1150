// Formatted output statements: one record built under a format text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "record_io/fixed_field.hpp"
#include "record_io/format.hpp"
#include "record_io/runtime.hpp"
#include "record_io/text_writer.hpp"

namespace record_io {

namespace detail {

// out[0..n) = from[0..n), without a call when n is 16 to 64 (a record such as the combined
// file's): two or four copies of 16 bytes, the last ones overlapping.
inline void copy_layout(char* out, const char* from, std::size_t n) {
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

}  // namespace detail

// One formatted write statement. The record is built field by field and handed to the
// unit whole when the statement ends (a format that starts again hands over one record
// each time). The format is no longer recorded once the statement ends, so a failure to
// write the record out is reported without a format line.
//
//   FormattedWrite(io, 11, combined).real(t).real(x).real(y).real(z).end();
class FormattedWrite {
 public:
  FormattedWrite(Runtime& io, int unit, const Format& format)
      : format_(format), cursor_(format), quick_end_(format.data_edits().data()) {
    // Usually a statement on the unit of the one before: its record is built in the unit's
    // output buffer at once, and its format is recorded only if it leaves that path.
    const detail::QuickStatement& quick = io.quick_;
    if (quick.write_unit == unit && format.fixed_layout()) {
      std::string_view layout = format.layout();
      layout_ = quick.writer->room(layout.size());
      if (layout_) {
        io_ = &io.core();
        unit_ = quick.connection;
        direct_ = quick.writer;
        quick_end_ += format.quick_reals();
        detail::copy_layout(layout_, layout.data(), layout.size());
        return;
      }
    }
    start(io, unit);
  }
  // Aw: right-aligned in a wider field, cut to its first w characters in a narrower one.
  FormattedWrite& text(std::string_view s);
  // Iw: right-aligned; w asterisks when it does not fit.
  FormattedWrite& integer(std::int32_t v);
  // Fw.d: the stored value rounded exactly to d decimals (ties to even), a digit always
  // before the point, a "-" only when the rounded magnitude is not zero, right-aligned; w
  // asterisks when it does not fit.
  FormattedWrite& real(float v) {
    // Usually a field of three decimals at its column of the format's first record.
    if (cursor_.before(quick_end_)) {
      const detail::DataEdit* d = cursor_.advance();
      detail::edit_three_decimals(layout_ + d->column, v, d->edit.width);
      return *this;
    }
    return real_other(v);
  }
  void end() {
    // Usually the whole first record of the format, built in the output buffer by a
    // statement whose format was never recorded.
    if (direct_ && !recorded_ && !cursor_.peek()) {
      direct_->commit(format_.layout().size());
      return;
    }
    end_in_full();
  }

 private:
  // Begins the statement in full: the unit checked, the format recorded.
  [[gnu::noinline]] void start(Runtime& io, int unit);
  // The statement builds its record in the record buffer: the format has no fixed
  // layout, or the output buffer lacks the room for it.
  void start_in_record();
  // The statement leaves the quick path: from here on it may fail or hand records over.
  void record_format();
  // Any other F field: at its column of the layout, or in the record built aside.
  FormattedWrite& real_other(float v);
  [[gnu::noinline]] void end_in_full();
  // The next data edit, which must be of `kind`, and where its field of `width`
  // characters (0: the edit's own width) goes in the record: at its column of the
  // format's layout, or after the literals and skipped columns written before it.
  char* next_field(detail::Edit::Kind kind, std::size_t width, const detail::Edit** edit);
  void put_text(std::string_view s);

  // The record in the format's layout is done with its first n characters.
  void hand_over_layout(std::size_t n);

  RuntimeCore* io_ = nullptr;
  Unit* unit_ = nullptr;
  const Format& format_;
  detail::FormatCursor cursor_;
  // The format's first record when its fields have fixed widths: built straight in the
  // unit's output buffer when that has room (`direct_`), otherwise in the record buffer.
  char* layout_ = nullptr;
  TextWriter* direct_ = nullptr;
  // The end of the F fields of three decimals at their columns of the layout: a field
  // before it takes the quick path (none does once the layout is handed over).
  const detail::DataEdit* quick_end_;
  bool recorded_ = false;  // the statement's format is recorded for a diagnostic
};

}  // namespace record_io
