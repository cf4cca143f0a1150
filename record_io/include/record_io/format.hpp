// Format texts, parsed once into edit descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace record_io {

class FormattedWrite;

// The layer's own: a format as its statements walk it. Programs name none of this.
namespace detail {

struct Edit {
  enum class Kind : std::uint8_t {
    text,     // Aw: w characters (A alone: as long as the item)
    integer,  // Iw
    real,     // Fw.d
    skip,     // nX: n columns
    literal,  // 'text': written as it stands (skipped over when reading)
  };
  Kind kind;
  int width;     // field width; the column count for skip; the length of a literal; 0 for
                 // A without a width
  int decimals;  // Fw.d only
  std::uint32_t literal_begin = 0;  // literal: its text among the format's literals
  std::uint32_t literal_size = 0;
};

// A data edit with what the format holds before it: on output the literal text (and a
// blank for each skipped column) written before the field, on input the columns skipped.
struct DataEdit {
  Edit edit;
  std::uint32_t lead_begin;      // among the format's leads
  std::uint32_t lead_size;       // the whole lead
  std::uint32_t lead_text_size;  // up to the end of its last literal: what a statement
                                 // that ends before this edit still writes
  std::uint32_t column;          // where its field starts in the format's first record
};

class FormatCursor;
struct FormatInternals;  // what the layer's tests see of a parsed format

}  // namespace detail

// A parsed format text such as "(5X,I6,5X,F7.0)" or "(F7.3,3(',',F10.3))".
// Letters may be in either case and blanks outside quotes are ignored; a width, count or
// decimal count above 2^20 makes the text malformed. A literal is quoted with apostrophes,
// double quotes or the byte 0x02 (which stands for an apostrophe), a doubled quote standing
// for one. Repeat groups are unrolled; when a statement has more items than the format, the
// format starts again from its last top-level group (or from its beginning) on a new record.
class Format {
 public:
  explicit Format(std::string_view text);

  // The text as given: what a diagnostic shows as the last format.
  std::string_view text() const { return text_; }
  // False for a text that cannot be parsed (a statement under it fails at its start).
  bool valid() const { return valid_; }

 private:
  friend class FormattedWrite;
  friend class detail::FormatCursor;
  friend struct detail::FormatInternals;
  using Edit = detail::Edit;
  using DataEdit = detail::DataEdit;
  class Parser;

  std::string_view literal(const Edit& e) const {
    return std::string_view(literals_).substr(e.literal_begin, e.literal_size);
  }
  // The same format as statements walk it: the data edits, each with its lead.
  const std::vector<DataEdit>& data_edits() const { return data_; }
  std::string_view lead(const DataEdit& d) const {
    return std::string_view(leads_).substr(d.lead_begin, d.lead_size);
  }
  // The literals after the last data edit, written when a record ends there.
  std::string_view tail() const { return tail_; }
  // Where the format starts again: the index of a data edit, and the lead it has then.
  std::size_t data_reversion() const { return data_reversion_; }
  const DataEdit& reversion_edit() const { return reversion_edit_; }
  // When every field has a fixed width: the format's first record with its literals in
  // place and blanks in the fields, which a write statement fills in at their columns.
  bool fixed_layout() const { return fixed_layout_; }
  std::string_view layout() const { return layout_; }
  // With a fixed layout: how many data edits from the first are F edits of three
  // decimals edited on the quick path (detail::is_three_decimals); otherwise 0.
  std::uint32_t quick_reals() const { return quick_reals_; }

  // Folds the literals and skips into the leads of the data edits.
  void gather_leads();

  std::string text_;
  std::vector<Edit> edits_;
  std::string literals_;
  std::size_t reversion_ = 0;  // the first edit of the last top-level group
  std::vector<DataEdit> data_;
  std::string leads_;
  std::string tail_;
  std::size_t data_reversion_ = 0;
  DataEdit reversion_edit_{};
  bool fixed_layout_ = false;
  std::string layout_;
  std::uint32_t quick_reals_ = 0;
  bool valid_ = false;
};

namespace detail {

// A statement's walk through the data edits of its format. When they run out, the format
// starts again at its reversion point, and the statement goes on with a new record.
class FormatCursor {
 public:
  explicit FormatCursor(const Format& format)
      : format_(format),
        next_(format.data_edits().data()),
        end_(next_ + format.data_edits().size()) {}

  // The next data edit, with `restarted` telling whether the format started again for
  // it; nullptr for a format without data edits.
  const DataEdit* next(bool* restarted) {
    *restarted = next_ == end_;
    if (!*restarted) return next_++;
    if (format_.data_edits().empty()) return nullptr;
    next_ = format_.data_edits().data() + format_.data_reversion() + 1;
    return &format_.reversion_edit();
  }
  // The next data edit when it is of `kind` and the format need not start again for it,
  // taken; otherwise nullptr, and nothing taken.
  const DataEdit* take(Edit::Kind kind) {
    return next_ != end_ && next_->edit.kind == kind ? next_++ : nullptr;
  }
  // The next data edit, which the caller knows to be there, taken.
  const DataEdit* advance() { return next_++; }
  // Whether the next data edit comes before `edit`, one of the format's data edits (or the
  // end of them).
  bool before(const DataEdit* edit) const { return next_ < edit; }
  // The data edit that would come next, or nullptr at the end of the format.
  const DataEdit* peek() const { return next_ != end_ ? next_ : nullptr; }

 private:
  const Format& format_;
  const DataEdit* next_;
  const DataEdit* end_;
};

}  // namespace detail

}  // namespace record_io
