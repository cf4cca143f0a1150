#include "record_io/format.hpp"

#include <algorithm>
#include <cctype>

#include "record_io/fixed_field.hpp"

namespace record_io {

using detail::DataEdit;
using detail::Edit;
using detail::FormatCursor;

namespace {

constexpr std::size_t max_edits = 1 << 16;  // after unrolling the repeat groups
constexpr int max_number = 1 << 20;         // widths, counts and decimals

bool is_quote(char c) {
  return c == '\'' || c == '"' || c == '\x02';
}

}  // namespace

// A recursive-descent parser over the format text. Every malformed text ends in fail().
class Format::Parser {
 public:
  Parser(Format& f) : f_(f), s_(f.text_) {}

  bool run() {
    if (next() != '(') return fail();
    ++pos_;
    if (!items(0)) return false;
    if (next() != '\0') return fail();
    return true;
  }

 private:
  // Skips blanks; the next significant character, or NUL at the end.
  char next() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    return pos_ < s_.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(s_[pos_])))
                            : '\0';
  }

  bool fail() { return false; }

  // An unsigned number, or -1 when there is none. A number above max_number takes the
  // rest of the text with it, so that the parse fails wherever the number stands.
  int number() {
    if (!std::isdigit(static_cast<unsigned char>(next()))) return -1;
    long n = 0;
    while (pos_ < s_.size() &&
           (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == ' ')) {
      if (s_[pos_] != ' ') n = n * 10 + (s_[pos_] - '0');
      if (n > max_number) {
        pos_ = s_.size();
        return -1;
      }
      ++pos_;
    }
    return static_cast<int>(n);
  }

  bool add(Edit e) {
    if (f_.edits_.size() >= max_edits) return fail();
    f_.edits_.push_back(e);
    return true;
  }

  // The items of a group up to and including its closing parenthesis.
  bool items(int depth) {
    for (;;) {
      char c = next();
      if (c == ')') {
        ++pos_;
        return true;
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (!item(depth)) return false;
    }
  }

  bool item(int depth) {
    int count = number();
    char c = next();
    if (count == 0 || c == '\0') return fail();
    if (c == '(') {
      ++pos_;
      std::size_t first = f_.edits_.size();
      if (depth == 0) f_.reversion_ = first;
      if (depth > 32 || !items(depth + 1)) return depth > 32 ? fail() : false;
      std::size_t last = f_.edits_.size();
      for (int r = 1; r < (count < 0 ? 1 : count); ++r) {
        for (std::size_t i = first; i < last; ++i) {
          if (!add(f_.edits_[i])) return false;
        }
      }
      return true;
    }
    if (is_quote(s_[pos_])) {
      if (count > 0) return fail();
      return literal();
    }
    ++pos_;
    Edit e{};
    switch (c) {
      case 'X':
        e = {Edit::Kind::skip, count < 0 ? 1 : count, 0};
        return add(e);
      case 'A':
        e = {Edit::Kind::text, std::max(number(), 0), 0};
        break;
      case 'I':
        e = {Edit::Kind::integer, number(), 0};
        if (e.width <= 0) return fail();
        if (next() == '.') {  // a minimum digit count: accepted, not used
          ++pos_;
          if (number() < 0) return fail();
        }
        break;
      case 'F':
        e = {Edit::Kind::real, number(), 0};
        if (e.width <= 0 || next() != '.') return fail();
        ++pos_;
        e.decimals = number();
        if (e.decimals < 0) return fail();
        break;
      default:
        --pos_;
        return fail();
    }
    for (int r = 0; r < (count < 0 ? 1 : count); ++r) {
      if (!add(e)) return false;
    }
    return true;
  }

  bool literal() {
    char quote = s_[pos_++];
    Edit e{Edit::Kind::literal, 0, 0};
    e.literal_begin = static_cast<std::uint32_t>(f_.literals_.size());
    for (;;) {
      if (pos_ >= s_.size()) return fail();
      char c = s_[pos_++];
      if (c == quote) {
        if (pos_ < s_.size() && s_[pos_] == quote) {
          ++pos_;
        } else {
          break;
        }
      }
      f_.literals_.push_back(c);
    }
    e.literal_size = static_cast<std::uint32_t>(f_.literals_.size() - e.literal_begin);
    e.width = static_cast<int>(e.literal_size);
    return add(e);
  }

  Format& f_;
  std::string_view s_;
  std::size_t pos_ = 0;
};

Format::Format(std::string_view text) : text_(text) {
  valid_ = Parser(*this).run();
  if (!valid_) edits_.clear();
  gather_leads();
}

void Format::gather_leads() {
  // pending: the lead being gathered; text_size: its length up to the last literal.
  std::string pending;
  std::size_t text_size = 0;
  fixed_layout_ = valid_;
  std::size_t reversion_lead = std::string::npos;  // where the lead of a reversion starts
  for (std::size_t i = 0; i < edits_.size(); ++i) {
    const Edit& e = edits_[i];
    if (i == reversion_) reversion_lead = pending.size();
    if (e.kind == Edit::Kind::skip) {
      pending.append(static_cast<std::size_t>(e.width), ' ');
      continue;
    }
    if (e.kind == Edit::Kind::literal) {
      pending += literal(e);
      text_size = pending.size();
      continue;
    }
    auto at = static_cast<std::uint32_t>(leads_.size());
    layout_ += pending;
    DataEdit d{e, at, static_cast<std::uint32_t>(pending.size()),
               static_cast<std::uint32_t>(text_size), static_cast<std::uint32_t>(layout_.size())};
    if (e.width <= 0) fixed_layout_ = false;
    layout_.append(static_cast<std::size_t>(std::max(e.width, 0)), ' ');
    if (reversion_lead != std::string::npos) {
      // The first data edit at or after the reversion point: its lead then starts there.
      data_reversion_ = data_.size();
      reversion_edit_ = d;
      reversion_edit_.lead_begin += static_cast<std::uint32_t>(reversion_lead);
      reversion_edit_.lead_size -= static_cast<std::uint32_t>(reversion_lead);
      reversion_edit_.lead_text_size -=
          std::min(reversion_edit_.lead_text_size, static_cast<std::uint32_t>(reversion_lead));
      reversion_lead = std::string::npos;
    }
    data_.push_back(d);
    leads_ += pending;
    pending.clear();
    text_size = 0;
  }
  tail_ = pending.substr(0, text_size);
  layout_ += tail_;
  if (!fixed_layout_) layout_.clear();
  while (fixed_layout_ && quick_reals_ < data_.size()) {
    const Edit& e = data_[quick_reals_].edit;
    if (e.kind != Edit::Kind::real || !detail::is_three_decimals(e.width, e.decimals)) break;
    ++quick_reals_;
  }
  // A last group without a data edit cannot be started again: start from the beginning.
  if (reversion_lead != std::string::npos && !data_.empty()) {
    data_reversion_ = 0;
    reversion_edit_ = data_.front();
  }
}

}  // namespace record_io
