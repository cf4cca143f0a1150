// Small pieces of text that more than one of peer-normalize's messages and readers use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace normalize {

// c in upper case, for the ASCII letters; any other byte as it is (no locale).
inline char upper_case(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = upper_case(c);
  return u;
}

// "1 value", "3 values".
inline std::string counted(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A time as the combined file's time column shows it, with its unit: "46.000 s".
inline std::string seconds(double t) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f s", t);
  return text;
}

}  // namespace normalize
