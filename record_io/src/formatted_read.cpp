#include "record_io/formatted_read.hpp"

#include <algorithm>
#include <cstring>

#include "decimal.hpp"
#include "record_io/characters.hpp"
#include "runtime_core.hpp"

namespace record_io {

namespace {

constexpr const char* context = "fmt";
constexpr std::int64_t exponent_limit = 999999999;

}  // namespace

FormattedRead::FormattedRead(Runtime& io, int unit, const Format& format)
    : io_(io.core()),
      unit_(io_.begin_statement(unit, true, &format)),
      cursor_(format),
      reader_(io_.reader(unit_)),
      line_(reader_.line()),
      pos_(line_.begin) {}

const detail::Edit& FormattedRead::next_data_edit() {
  bool restarted = false;
  const detail::DataEdit* d = cursor_.next(&restarted);
  if (!d) io_.fail(error_in_format, context);
  if (restarted) {  // more items than the format holds: on with the next record
    reader_.consume_to(pos_);
    if (!reader_.skip_line()) io_.reached_end(unit_, context);
    line_ = reader_.line();
    pos_ = line_.begin;
    skip_ = 0;
  }
  skip_ += d->lead_size;
  return d->edit;
}

void FormattedRead::input_ended() {
  io_.input_ended(unit_, context);
}

bool FormattedRead::next_piece() {
  if (!reader_.next_piece(line_)) return false;
  pos_ = line_.begin;
  return true;
}

void FormattedRead::skip_columns() {
  for (;;) {
    std::size_t left = static_cast<std::size_t>(line_.end - pos_);
    if (skip_ <= left) {
      pos_ += skip_;
      break;
    }
    skip_ -= left;
    pos_ = line_.end;
    if (next_piece()) continue;
    if (!line_.terminated) input_ended();
    break;
  }
  skip_ = 0;
}

int FormattedRead::next_char() {
  while (pos_ == line_.end) {
    if (next_piece()) continue;
    if (!line_.terminated) input_ended();
    return -1;
  }
  return static_cast<unsigned char>(*pos_++);
}

template <class Place>
std::size_t FormattedRead::take_field(std::size_t width, Place place) {
  std::size_t taken = 0;
  while (taken < width && (pos_ < line_.end || next_piece())) {
    std::size_t n = std::min(width - taken, static_cast<std::size_t>(line_.end - pos_));
    place(taken, pos_, n);
    pos_ += n;
    taken += n;
  }
  if (taken < width && !line_.terminated) input_ended();
  return taken;
}

FormattedRead& FormattedRead::text(char* variable, std::size_t length) {
  const detail::Edit& e = next_data_edit();
  if (e.kind != detail::Edit::Kind::text) io_.fail(error_in_format, context);
  skip_columns();
  std::size_t width = e.width > 0 ? static_cast<std::size_t>(e.width) : length;
  // The field is its characters then blanks up to `width`; a field wider than the
  // variable keeps its rightmost `length` columns, a narrower one is padded.
  std::size_t from = width > length ? width - length : 0;
  std::memset(variable, ' ', length);
  take_field(width, [&](std::size_t column, const char* chars, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (column + i >= from) variable[column + i - from] = chars[i];
    }
  });
  return *this;
}

FormattedRead& FormattedRead::text(std::string& variable) {
  const detail::Edit& e = next_data_edit();
  if (e.kind != detail::Edit::Kind::text) io_.fail(error_in_format, context);
  skip_columns();
  auto width = static_cast<std::size_t>(e.width);
  variable.clear();
  // The whole line, as far as it is kept: beyond long_text_limit characters only the first
  // one that is not a blank, so that a text that goes on is longer than the limit.
  bool over = false;
  auto keep = [&](std::size_t, const char* chars, std::size_t n) {
    std::size_t room = variable.size() < long_text_limit ? long_text_limit - variable.size() : 0;
    variable.append(chars, std::min(room, n));
    for (std::size_t i = std::min(room, n); i < n && !over; ++i) {
      if (chars[i] != ' ') {
        variable += chars[i];
        over = true;
      }
    }
  };
  std::size_t have = take_field(width, keep);
  if (have == width) {
    while (pos_ < line_.end || next_piece()) {
      keep(0, pos_, static_cast<std::size_t>(line_.end - pos_));
      pos_ = line_.end;
    }
  }
  if (have < width) variable.append(width - have, ' ');
  return *this;
}

FormattedRead& FormattedRead::integer(std::int32_t& variable) {
  const detail::Edit& e = next_data_edit();
  if (e.kind != detail::Edit::Kind::integer) io_.fail(error_in_format, context);
  skip_columns();
  std::int64_t value = 0;
  bool negative = false;
  bool signed_or_digits = false;
  for (int n = 0; n < e.width; ++n) {
    int c = next_char();
    if (c < 0 || c == ',') break;
    if (c == ' ') continue;
    if (!signed_or_digits && (c == '+' || c == '-')) {
      negative = c == '-';
    } else if (is_digit(c)) {
      value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{1} << 40);
    } else {
      io_.fail(read_unexpected_character, context);
    }
    signed_or_digits = true;
  }
  variable = static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? -value : value));
  return *this;
}

FormattedRead& FormattedRead::real(float& variable) {
  const detail::Edit& e = next_data_edit();
  if (e.kind != detail::Edit::Kind::real) io_.fail(error_in_format, context);
  skip_columns();
  enum State { start, after_sign, whole, fraction, exponent_letter, exponent_sign, exponent };
  State state = start;
  DecimalDigits digits;
  bool negative = false;
  bool point = false;
  bool exponent_negative = false;
  std::int64_t exponent_value = 0;
  for (int n = 0; n < e.width; ++n) {
    int c = next_char();
    if (c < 0 || c == ',') break;
    if (c == ' ') continue;
    bool sign = c == '+' || c == '-';
    bool letter = c == 'e' || c == 'E' || c == 'd' || c == 'D';
    if (is_digit(c)) {
      switch (state) {
        case start:
        case after_sign:
        case whole:
          state = whole;
          digits.integer_digit(static_cast<char>(c));
          continue;
        case fraction:
          digits.fraction_digit(static_cast<char>(c));
          continue;
        case exponent_letter:
        case exponent_sign:
        case exponent:
          state = exponent;
          exponent_value = std::min(exponent_value * 10 + (c - '0'), exponent_limit);
          continue;
      }
    }
    if (c == '.' && state <= whole) {
      state = fraction;
      point = true;
    } else if (sign && state == start) {
      state = after_sign;
      negative = c == '-';
    } else if (sign && (state == whole || state == fraction || state == exponent_letter)) {
      state = exponent_sign;
      exponent_negative = c == '-';
    } else if (letter && state <= fraction) {
      state = exponent_letter;
    } else {
      io_.fail(read_unexpected_character, context);
    }
  }
  if (state == exponent_letter || state == exponent_sign) {
    io_.fail(read_unexpected_character, context);
  }
  if (!point) digits.scale(-e.decimals);
  digits.scale(exponent_negative ? -exponent_value : exponent_value);
  variable = digits.to_single(negative);
  return *this;
}

void FormattedRead::end() {
  reader_.consume_to(pos_);
  if (!reader_.skip_line()) io_.reached_end(unit_, context);
  io_.clear_format();
}

}  // namespace record_io
