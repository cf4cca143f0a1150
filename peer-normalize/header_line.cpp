#include "header_line.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "record_io/characters.hpp"
#include "record_io/list_read.hpp"
#include "text.hpp"
#include "time_step.hpp"

namespace normalize {

namespace {

using record_io::is_digit;

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool same_word(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (upper_case(word[k]) != upper[k]) return false;
  }
  return true;
}

// A piece of the header line: a run of letters, a number (as the merge's value scanner
// delimits it), an equals sign, or any other character.
struct Token {
  enum Kind { word, number, equals, other };
  Kind kind;
  std::string_view text;
  std::size_t offset;          // in the line
  record_io::ListScan scan{};  // for a number
};

std::vector<Token> tokens_of(std::string_view line) {
  std::vector<Token> tokens;
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  for (const char* p = begin; p < end;) {
    const auto offset = static_cast<std::size_t>(p - begin);
    if (*p == ' ' || *p == '\t') {
      ++p;
    } else if (is_letter(*p)) {
      const char* q = p;
      while (q < end && is_letter(*q)) ++q;
      tokens.push_back({Token::word, {p, static_cast<std::size_t>(q - p)}, offset});
      p = q;
    } else if (*p == '=') {
      tokens.push_back({Token::equals, {p, 1}, offset});
      ++p;
    } else if (is_digit(*p) || *p == '.' || *p == '+' || *p == '-') {
      const record_io::ListScan scan = record_io::scan_list_item(p, end, true);
      const std::string_view taken(p, static_cast<std::size_t>(scan.next - p));
      bool digit = false;
      for (char c : taken) digit = digit || is_digit(c);
      if (digit) {
        tokens.push_back({Token::number, taken, offset, scan});
        p = scan.next;
      } else {
        tokens.push_back({Token::other, {p, 1}, offset});
        ++p;
      }
    } else {
      tokens.push_back({Token::other, {p, 1}, offset});
      ++p;
    }
  }
  return tokens;
}

constexpr std::size_t none = static_cast<std::size_t>(-1);

// The labels looked for, by index.
constexpr int points_label = 0;
constexpr int step_label = 1;

// What a label leads to: the number after its "=", or, for a label without "=", the number
// paired with it among those before the trailing labels.
struct Found {
  std::size_t value = none;      // token index of the number
  std::size_t equals_at = none;  // token index of the "=" when no number follows it
};

class Labels {
 public:
  explicit Labels(const std::vector<Token>& tokens) : tokens_(tokens) {
    for (std::size_t k = 0; k < tokens.size(); ++k) {
      if (tokens[k].kind != Token::word) continue;
      for (int which = 0; which < 2; ++which) {
        if (at_[which] == none && names_label(which, tokens[k].text)) at_[which] = k;
      }
    }
  }

  Found find(int which) const {
    Found found;
    const std::size_t label = at_[which];
    if (label == none) return found;
    if (label + 1 < tokens_.size() && tokens_[label + 1].kind == Token::equals) {
      if (label + 2 < tokens_.size() && tokens_[label + 2].kind == Token::number) {
        found.value = label + 2;
      } else {
        found.equals_at = label + 1;
      }
      return found;
    }
    found.value = trailing_value(which);
    return found;
  }

  static constexpr std::string_view names[2] = {"NPTS", "DT"};

 private:
  // NPTS, or the shorter NPT and NP some records write, for the point count.
  static bool names_label(int which, std::string_view word) {
    if (which == points_label) {
      return same_word(word, "NPTS") || same_word(word, "NPT") || same_word(word, "NP");
    }
    return same_word(word, names[which]);
  }

  bool trailing(int which) const {
    const std::size_t k = at_[which];
    return k != none && !(k + 1 < tokens_.size() && tokens_[k + 1].kind == Token::equals);
  }

  // The labels without "=" name, in their order, the numbers just before the first of them.
  std::size_t trailing_value(int which) const {
    std::size_t first = none;
    std::size_t position = 0;  // of this label among the trailing ones
    std::size_t count = 0;
    for (int other = 0; other < 2; ++other) {
      if (!trailing(other)) continue;
      ++count;
      first = std::min(first, at_[other]);
      if (at_[other] < at_[which]) ++position;
    }
    std::vector<std::size_t> numbers;
    for (std::size_t k = 0; k < first; ++k) {
      if (tokens_[k].kind == Token::number) numbers.push_back(k);
    }
    if (numbers.size() < count) return none;
    return numbers[numbers.size() - count + position];
  }

  const std::vector<Token>& tokens_;
  std::size_t at_[2] = {none, none};
};

HeaderLine refused(std::string text, std::size_t offset) {
  HeaderLine h;
  h.problem = std::move(text);
  h.column = offset == none ? 0 : static_cast<long>(offset) + 1;
  return h;
}

std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

}  // namespace

HeaderLine recognize_header(std::string_view line) {
  const std::vector<Token> tokens = tokens_of(line);
  const Labels labels(tokens);
  const Found points = labels.find(points_label);
  const Found step = labels.find(step_label);
  if (points.equals_at != none) {
    return refused("expected the point count after 'NPTS='", tokens[points.equals_at].offset + 1);
  }
  if (points.value == none) return refused("no point count (NPTS) in the header line", none);
  if (step.equals_at != none) {
    return refused("expected the time step after 'DT='", tokens[step.equals_at].offset + 1);
  }
  if (step.value == none) return refused("no time step (DT) in the header line", none);

  const Token& count = tokens[points.value];
  std::string_view digits = count.text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t n = 0;
  for (char c : digits) {
    if (!is_digit(c)) {
      return refused("expected a whole number of points (NPTS), found " + quoted(count.text),
                     count.offset);
    }
    if (n <= max_points) n = n * 10 + (c - '0');
  }
  if (n > max_points) {
    return refused("the point count " + std::string(count.text) +
                       " does not fit the six columns of the header (at most 999999)",
                   count.offset);
  }

  const Token& dt = tokens[step.value];
  if (dt.scan.kind != record_io::ListScan::number || !std::isfinite(dt.scan.value) ||
      !(dt.scan.value > 0)) {
    return refused("expected a time step (DT) above zero, found " + quoted(dt.text), dt.offset);
  }
  HeaderLine h;
  h.ok = true;
  h.points = n;
  h.points_column = static_cast<long>(count.offset) + 1;
  h.time_step = dt.scan.value;
  h.time_step_text = std::string(dt.text);
  h.column = static_cast<long>(dt.offset) + 1;
  return h;
}

std::string old_layout_header(std::int64_t points, std::string_view time_step_text) {
  std::string count = std::to_string(points);
  std::string line = "NPTS=";
  line.append(count.size() < 6 ? 6 - count.size() : 0, ' ');
  line += count;
  line += ", DT=";
  line.append(
      time_step_text.size() < time_step_columns ? time_step_columns - time_step_text.size() : 0,
      ' ');
  line += time_step_text;
  line += " SEC";
  return line;
}

}  // namespace normalize
