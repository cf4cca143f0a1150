#include "record_io/formatted_read.hpp"

#include <algorithm>
#include <cstring>

#include "record_io/decimal.hpp"

namespace record_io {

namespace {

constexpr const char* context = "fmt";
constexpr std::int64_t exponent_limit = 999999999;

bool is_digit(int c) {
  return c >= '0' && c <= '9';
}

}  // namespace

FormattedRead::FormattedRead(Runtime& io, int unit, const Format& format)
    : io_(io),
      unit_(io.begin_statement(unit, true, &format)),
      cursor_(format),
      reader_(io.reader(unit_)),
      line_(reader_.line()),
      pos_(line_.begin) {}

const Edit& FormattedRead::next_data_edit() {
  bool restarted = false;
  const DataEdit* d = cursor_.next(&restarted);
  if (!d) io_.fail(error_in_format, context);
  if (restarted) {  // more items than the format holds: on with the next record
    reader_.consume_to(pos_);
    if (!reader_.skip_line()) unit_.at_end = true;
    line_ = reader_.line();
    pos_ = line_.begin;
    skip_ = 0;
  }
  skip_ += d->lead_size;
  return d->edit;
}

void FormattedRead::input_ended() {
  if (reader_.error() != 0) io_.fail_system(reader_.error(), context);
  unit_.at_end = true;
  io_.fail(end_of_file, context);
}

void FormattedRead::skip_columns() {
  std::size_t left = static_cast<std::size_t>(line_.end - pos_);
  if (skip_ <= left) {
    pos_ += skip_;
  } else if (line_.terminated) {
    pos_ = line_.end;
  } else {
    input_ended();
  }
  skip_ = 0;
}

int FormattedRead::next_char() {
  if (pos_ < line_.end) return static_cast<unsigned char>(*pos_++);
  if (!line_.terminated) input_ended();
  return -1;
}

FormattedRead& FormattedRead::text(char* variable, std::size_t length) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::text) io_.fail(error_in_format, context);
  skip_columns();
  std::size_t width = e.width > 0 ? static_cast<std::size_t>(e.width) : length;
  std::size_t have = std::min(width, static_cast<std::size_t>(line_.end - pos_));
  if (have < width && !line_.terminated) input_ended();
  // The field is `have` characters then blanks up to `width`.
  const char* field = pos_;
  pos_ += have;
  if (width >= length) {
    std::size_t from = width - length;  // the rightmost `length` columns
    for (std::size_t i = 0; i < length; ++i) {
      variable[i] = from + i < have ? field[from + i] : ' ';
    }
  } else {
    for (std::size_t i = 0; i < length; ++i) variable[i] = i < have ? field[i] : ' ';
  }
  return *this;
}

FormattedRead& FormattedRead::text(std::string& variable) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::text) io_.fail(error_in_format, context);
  skip_columns();
  auto width = static_cast<std::size_t>(e.width);
  std::size_t have = static_cast<std::size_t>(line_.end - pos_);
  if (have < width && !line_.terminated) input_ended();
  variable.assign(pos_, have);
  if (have < width) variable.append(width - have, ' ');
  pos_ = line_.end;
  return *this;
}

FormattedRead& FormattedRead::integer(std::int32_t& variable) {
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::integer) io_.fail(error_in_format, context);
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
  const Edit& e = next_data_edit();
  if (e.kind != Edit::Kind::real) io_.fail(error_in_format, context);
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
  if (!reader_.skip_line()) {
    if (reader_.error() != 0) io_.fail_system(reader_.error(), context);
    unit_.at_end = true;
  }
  io_.clear_format();
}

}  // namespace record_io
