// Formatted output statements: one record built under a format text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "record_io/format.hpp"
#include "record_io/runtime.hpp"
#include "record_io/text_writer.hpp"

namespace record_io {

class RecordBuffer;
class Unit;

// One formatted write statement. The record is built field by field and handed to the
// unit whole when the statement ends (a format that starts again hands over one record
// each time). The format is no longer recorded once the statement ends, so a failure to
// write the record out is reported without a format line.
//
//   FormattedWrite(io, 11, combined).real(t).real(x).real(y).real(z).end();
class FormattedWrite {
 public:
  FormattedWrite(Runtime& io, int unit, const Format& format);
  // Aw: right-aligned in a wider field, cut to its first w characters in a narrower one.
  FormattedWrite& text(std::string_view s);
  // Iw: right-aligned; w asterisks when it does not fit.
  FormattedWrite& integer(std::int32_t v);
  // Fw.d: the stored value rounded exactly to d decimals (ties to even), a digit always
  // before the point, a "-" only when the rounded magnitude is not zero, right-aligned; w
  // asterisks when it does not fit.
  FormattedWrite& real(float v) {
    // Usually a field at its column of the format's first record.
    const detail::DataEdit* d = layout_ ? cursor_.take(detail::Edit::Kind::real) : nullptr;
    if (!d) return real_in_record(v);
    fixed_field(layout_ + d->column, v, d->edit);
    return *this;
  }
  void end();

 private:
  // The statement builds its record in record_: the format has no fixed layout, or the
  // output buffer lacks the room for it.
  [[gnu::noinline]] void start_in_record();
  FormattedWrite& real_in_record(float v);
  // Writes v as the field of the real edit e at out.
  static void fixed_field(char* out, float v, const detail::Edit& e);
  [[gnu::noinline]] void end_record();
  // The next data edit, which must be of `kind`, and where its field of `width`
  // characters (0: the edit's own width) goes in the record: at its column of the
  // format's layout, or after the literals and skipped columns written before it.
  char* next_field(detail::Edit::Kind kind, std::size_t width, const detail::Edit** edit);
  void put_text(std::string_view s);

  // The record in the format's layout is done with its first n characters.
  void hand_over_layout(std::size_t n);

  RuntimeCore& io_;
  Unit& unit_;
  const Format& format_;
  detail::FormatCursor cursor_;
  RecordBuffer& record_;
  // The format's first record when its fields have fixed widths: built straight in the
  // unit's output buffer when that has room (`direct_`), otherwise in record_.
  char* layout_ = nullptr;
  TextWriter* direct_ = nullptr;
};

}  // namespace record_io
