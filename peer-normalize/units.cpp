#include "units.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "record_io/list_read.hpp"
#include "text.hpp"

namespace normalize {

namespace {

struct Spelling {
  std::string_view word;  // upper case
  AccelerationUnit unit;
};

constexpr std::array<Spelling, 19> spellings{{
    {"G", AccelerationUnit::g},
    {"GAL", AccelerationUnit::cm_s2},
    {"CM/S/S", AccelerationUnit::cm_s2},
    {"CM/S2", AccelerationUnit::cm_s2},
    {"CM/S**2", AccelerationUnit::cm_s2},
    {"CM/S^2", AccelerationUnit::cm_s2},
    {"CM/SEC/SEC", AccelerationUnit::cm_s2},
    {"CM/SEC2", AccelerationUnit::cm_s2},
    {"CM/SEC**2", AccelerationUnit::cm_s2},
    {"CM/SEC^2", AccelerationUnit::cm_s2},
    {"CMS2", AccelerationUnit::cm_s2},
    {"M/S/S", AccelerationUnit::m_s2},
    {"M/S2", AccelerationUnit::m_s2},
    {"M/S**2", AccelerationUnit::m_s2},
    {"M/S^2", AccelerationUnit::m_s2},
    {"M/SEC/SEC", AccelerationUnit::m_s2},
    {"M/SEC2", AccelerationUnit::m_s2},
    {"M/SEC**2", AccelerationUnit::m_s2},
    {"M/SEC^2", AccelerationUnit::m_s2},
}};

bool is_word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
         c == '*' || c == '^';
}

struct Word {
  std::size_t begin;
  std::size_t size;
  AccelerationUnit unit;
};

// The words of the line that name a unit.
std::vector<Word> unit_words(std::string_view line) {
  std::vector<Word> words;
  for (std::size_t p = 0; p < line.size();) {
    if (!is_word_char(line[p])) {
      ++p;
      continue;
    }
    std::size_t q = p;
    while (q < line.size() && is_word_char(line[q])) ++q;
    const std::string word = upper(line.substr(p, q - p));
    for (const Spelling& s : spellings) {
      if (word == s.word) words.push_back({p, q - p, s.unit});
    }
    p = q;
  }
  return words;
}

// The single-precision value of v * factor, as the merge reads `text`.
float read_back(const std::string& text) {
  return record_io::scan_list_item(text.data(), text.data() + text.size(), true).value;
}

bool same_bits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

double in_cm_s2(AccelerationUnit unit) {
  switch (unit) {
    case AccelerationUnit::g:
      return 980.665;
    case AccelerationUnit::m_s2:
      return 100.0;
    case AccelerationUnit::cm_s2:
      break;
  }
  return 1.0;
}

}  // namespace

std::optional<AccelerationUnit> unit_of_option(std::string_view name) {
  const std::string u = upper(name);
  if (u == "G") return AccelerationUnit::g;
  if (u == "CM/S2") return AccelerationUnit::cm_s2;
  if (u == "M/S2") return AccelerationUnit::m_s2;
  return std::nullopt;
}

std::string_view unit_name(AccelerationUnit unit) {
  switch (unit) {
    case AccelerationUnit::g:
      return "g";
    case AccelerationUnit::m_s2:
      return "m/s2";
    case AccelerationUnit::cm_s2:
      break;
  }
  return "cm/s2";
}

NamedUnit unit_named(std::string_view line) {
  const std::vector<Word> words = unit_words(line);
  NamedUnit named;
  if (words.empty()) {
    named.problem =
        "the third title line names no unit of acceleration that peer-normalize "
        "knows (g, cm/s2 or m/s2)";
    return named;
  }
  for (const Word& w : words) {
    if (w.unit != words.front().unit) {
      named.problem = "the third title line names two units, '" +
                      std::string(line.substr(words.front().begin, words.front().size)) +
                      "' and '" + std::string(line.substr(w.begin, w.size)) + "'";
      return named;
    }
  }
  named.unit = words.front().unit;
  return named;
}

std::string line_renamed(std::string_view line, AccelerationUnit to) {
  std::string out;
  std::size_t from = 0;
  for (const Word& w : unit_words(line)) {
    out += line.substr(from, w.begin - from);
    const std::string_view word = line.substr(w.begin, w.size);
    const bool lower = word.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string_view::npos;
    out += lower ? std::string(unit_name(to)) : upper(unit_name(to));
    from = w.begin + w.size;
  }
  out += line.substr(from);
  return out;
}

double unit_factor(AccelerationUnit from, AccelerationUnit to) {
  return in_cm_s2(from) / in_cm_s2(to);
}

std::string converted_text(float v, double factor) {
  const auto target = static_cast<float>(static_cast<double>(v) * factor);
  if (!std::isfinite(target)) return {};
  if (target == 0) return "0.";
  char text[64];
  std::string s(text, std::to_chars(text, text + sizeof text, target).ptr);
  if (!same_bits(read_back(s), target)) {
    // Nine significant digits always lead back to the single value.
    s.assign(text,
             std::to_chars(text, text + sizeof text, target, std::chars_format::scientific, 8).ptr);
  }
  for (char& c : s) {
    if (c == 'e') c = 'E';
  }
  return s;
}

}  // namespace normalize
