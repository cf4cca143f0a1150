// Builders for the inputs the tests feed to peer-merge and for the texts they expect back:
// console records, fatal diagnostics, component files and combined-file records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "harness.hpp"

namespace e2e {

// Console output up to and including the third name prompt.
inline constexpr std::string_view kOpening =
    " Program for Reading PEER-Type Strong Motion Data\n"
    "\n"
    " Enter 1st File Name of 3 Components\n"
    " Enter 2nd File Name of 3 Components\n"
    " Enter 3rd File Name of 3 Components\n";

// The empty record and prompt before the output name is read.
inline constexpr std::string_view kOutputPrompt =
    "\n Enter Output Acceleration File Name (CSV format)\n";

// "\n First Component:\n" and so on, for component 1, 2 or 3.
std::string label(int component);

// Console record echoing one title line: a blank, then columns 3-80 padded to 78 characters.
std::string title_echo(std::string_view line);

// Console record " Number of Points & Dt (s) =" followed by `values` (such as "12  0.5").
std::string points_echo(std::string_view values);

// Header line with the point count right-aligned in columns 6-11 and the time step text
// right-aligned in columns 17-23, as PEER records write them.
std::string header(int nt, std::string_view dt);

// A component file: three title lines, a header line, then data text taken as is.
struct Component {
  std::string title1 = "PEER STRONG MOTION DATABASE RECORD. PROCESSING BY PACIFIC ENGINEERING.";
  std::string title2 = "TEST EVENT 01/02/03 0405, TEST STATION, 090";
  std::string title3 = "ACCELERATION TIME HISTORY IN UNITS OF G";
  std::string header;
  std::string data;
  std::string eol = "\n";  // line end after each title and the header

  std::string text() const;
  // Console records of this component's stage: the three title echoes and `points`.
  std::string echo(std::string_view points) const;
};

// Data text with `values` written five to a line.
std::string data_lines(const std::vector<float>& values);

// Console output of a complete dialogue whose stages echoed `stage1` .. `stage3`.
std::string transcript(std::string_view stage1, std::string_view stage2, std::string_view stage3);

// Last line of a fatal diagnostic.
enum class Lately { reading, writing };

// The four-line fatal diagnostic; `format` empty means no format line.
std::string fatal(std::string_view error, std::string_view unit, std::string_view format,
                  Lately lately);

// Format texts as a diagnostic shows them.
inline constexpr std::string_view kNameFormat = "(a80)";
inline constexpr std::string_view kHeaderFormat = "(5X,I6,5X,F7.0)";
inline constexpr std::string_view kListIo = "list io";
inline constexpr std::string_view kRecordFormat = "(F7.3,3(\x02,\x02,F10.3))";

// Independent reference for a fixed-point field with 3 decimals of the given width.
std::string fixed(float value, int width);

// Time of sample i (from 1): (i - 1) * dt, rounded once to single precision.
float time_of(long i, float dt);

// The combined file for `nt` records with time step `dt`; samples beyond a column's values
// are zero.
std::string combined(long nt, float dt, const std::vector<float>& x, const std::vector<float>& y,
                     const std::vector<float>& z);

// A record file as an independent reader sees it. Its lines: a carriage return directly
// before a line feed is part of the line end, and a last line without line feed counts.
std::vector<std::string> lines_of(const std::string& bytes);
// Every number on its lines after the fourth (the samples), read with strtod line by line.
std::vector<float> sample_values(const std::vector<std::string>& lines);

// Compares two texts line by line and reports the first differing line, for large files.
testing::AssertionResult same_lines(const std::string& actual, const std::string& expected);

// How a run should end.
testing::AssertionResult ended_normally(const Outcome& outcome);
testing::AssertionResult aborted(const Outcome& outcome);

}  // namespace e2e
