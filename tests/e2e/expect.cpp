#include "expect.hpp"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace e2e {

std::string label(int component) {
  static constexpr std::string_view kNames[] = {"First", "Second", "Third"};
  return "\n " + std::string(kNames[component - 1]) + " Component:\n";
}

std::string title_echo(std::string_view line) {
  std::string kept(line.size() > 2 ? line.substr(2, 78) : std::string_view{});
  kept.resize(78, ' ');
  return " " + kept + "\n";
}

std::string points_echo(std::string_view values) {
  return " Number of Points & Dt (s) = " + std::string(values) + "\n";
}

std::string header(int nt, std::string_view dt) {
  char text[64];
  std::snprintf(text, sizeof text, "NPTS=%6d, DT=%7.*s SEC", nt, static_cast<int>(dt.size()),
                dt.data());
  return text;
}

std::string Component::text() const {
  return title1 + eol + title2 + eol + title3 + eol + header + eol + data;
}

std::string Component::echo(std::string_view points) const {
  return title_echo(title1) + title_echo(title2) + title_echo(title3) + points_echo(points);
}

std::string data_lines(const std::vector<float>& values) {
  std::string text;
  char number[32];
  for (std::size_t k = 0; k < values.size(); ++k) {
    std::snprintf(number, sizeof number, "%16.8E", static_cast<double>(values[k]));
    text += number;
    if (k % 5 == 4 || k + 1 == values.size()) text += '\n';
  }
  return text;
}

std::string transcript(std::string_view stage1, std::string_view stage2, std::string_view stage3) {
  return std::string(kOpening) + label(1) + std::string(stage1) + label(2) + std::string(stage2) +
         label(3) + std::string(stage3) + std::string(kOutputPrompt);
}

std::string fatal(std::string_view error, std::string_view unit, std::string_view format,
                  Lately lately) {
  std::string text = std::string(error) + "\napparent state: " + std::string(unit) + "\n";
  if (!format.empty()) text += "last format: " + std::string(format) + "\n";
  text += lately == Lately::reading ? "lately reading" : "lately writing";
  text += " sequential formatted external IO\n";
  return text;
}

std::string fixed(float value, int width) {
  char digits[64];
  const double magnitude = std::fabs(static_cast<double>(value));
  std::snprintf(digits, sizeof digits, "%.3f", magnitude);
  std::string text = digits;
  if (value < 0 && text.find_first_of("123456789") != std::string::npos) text = "-" + text;
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

float time_of(long i, float dt) {
  return static_cast<float>(static_cast<double>(i - 1) * static_cast<double>(dt));
}

std::string combined(long nt, float dt, const std::vector<float>& x, const std::vector<float>& y,
                     const std::vector<float>& z) {
  const auto at = [](const std::vector<float>& column, long i) {
    const auto k = static_cast<std::size_t>(i - 1);
    return k < column.size() ? column[k] : 0.0F;
  };
  std::string text;
  for (long i = 1; i <= nt; ++i) {
    text += fixed(time_of(i, dt), 7) + "," + fixed(at(x, i), 10) + "," + fixed(at(y, i), 10) + "," +
            fixed(at(z, i), 10) + "\n";
  }
  return text;
}

namespace {

std::string describe(const Outcome& outcome) {
  if (outcome.timed_out) return "timed out";
  if (outcome.signal != 0) return "killed by signal " + std::to_string(outcome.signal);
  return "exited with status " + std::to_string(outcome.exit_status);
}

}  // namespace

std::vector<std::string> lines_of(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
    if (end == std::string::npos) end = bytes.size();
    if (end > start && end < bytes.size() && bytes[end - 1] == '\r') --end;
    lines.push_back(bytes.substr(start, end - start));
    start = next;
  }
  return lines;
}

std::vector<float> sample_values(const std::vector<std::string>& lines) {
  std::vector<float> values;
  for (std::size_t k = 4; k < lines.size(); ++k) {
    const char* p = lines[k].c_str();
    for (char* end = nullptr;; p = end) {
      const double value = std::strtod(p, &end);
      if (end == p) break;
      values.push_back(static_cast<float>(value));
    }
  }
  return values;
}

testing::AssertionResult same_lines(const std::string& actual, const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::size_t line = 1;
  std::size_t start = 0;
  for (std::size_t k = 0; k < actual.size() && k < expected.size() && actual[k] == expected[k];
       ++k) {
    if (actual[k] == '\n') {
      ++line;
      start = k + 1;
    }
  }
  const auto line_at = [start](const std::string& text) {
    return text.substr(start, text.find('\n', start) - start);
  };
  return testing::AssertionFailure()
         << "texts differ first on line " << line << " (" << actual.size() << " bytes against "
         << expected.size() << " expected)\n  actual:   \"" << line_at(actual)
         << "\"\n  expected: \"" << line_at(expected) << "\"";
}

testing::AssertionResult ended_normally(const Outcome& outcome) {
  if (!outcome.timed_out && outcome.signal == 0 && outcome.exit_status == 0) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "expected exit status 0, but the program " << describe(outcome);
}

testing::AssertionResult aborted(const Outcome& outcome) {
  // The C runtime's abort: SIGABRT on Linux, exit status 3 on Windows.
  if (target().windows) {
    if (!outcome.timed_out && outcome.signal == 0 && outcome.exit_status == 3) {
      return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "expected an abort (exit status 3), but the program " << describe(outcome);
  }
  if (!outcome.timed_out && outcome.signal == SIGABRT) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "expected an abort (SIGABRT), but the program " << describe(outcome);
}

}  // namespace e2e
