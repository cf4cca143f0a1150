// Reading a component file: opening it, its title lines, its header fields, files that end
// early, and carriage returns in the line ends.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

const std::string kName = "c.at2";
const std::string kUnit = "unit 11 named c.at2";
const std::string kSameFileThrice = "c.at2\nc.at2\nc.at2\nout.csv\n";

// Console output of a run that failed in the first stage after its titles were echoed.
std::string failed_after_titles(const Component& c) {
  return std::string(kOpening) + label(1) + title_echo(c.title1) + title_echo(c.title2) +
         title_echo(c.title3);
}

TEST(ComponentOpen, MissingFileIsFatalInItsOwnStage) {
  Sandbox box;
  Component c;
  c.header = header(0, "0.01");
  box.write(kName, c.text());
  const std::string stage = c.echo("0  0.00999999978");
  const std::string opened = std::string(kOpening) + label(1) + stage;
  struct Row {
    const char* input;
    std::string out;
  };
  const Row rows[] = {
      {"missing.at2\nc.at2\nc.at2\nout.csv\n", std::string(kOpening) + label(1)},
      {"c.at2\nmissing.at2\nc.at2\nout.csv\n", opened + label(2)},
      {"c.at2\nc.at2\nmissing.at2\nout.csv\n", opened + label(2) + stage + label(3)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    const Outcome run = box.run(row.input);
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, fatal("open: No such file or directory", "unit 11 named missing.at2",
                             kListIo, Lately::writing));
    EXPECT_FALSE(box.exists("out.csv"));
  }
}

TEST(ComponentOpen, AReportedFailureLeavesNoCoreFile) {
  Sandbox box;
  Launch launch;
  launch.allow_core = true;  // where the system would write one for a crash
  const Outcome run = box.run("missing.at2\na\nb\nout.csv\n", launch);
  EXPECT_TRUE(aborted(run));
  EXPECT_FALSE(run.core_dumped);
  for (const auto& entry : std::filesystem::directory_iterator(box.dir())) {
    EXPECT_NE(entry.path().filename().string().rfind("core", 0), 0U) << entry.path();
  }
}

TEST(ComponentOpen, BlankNameOrDirectoryIsFatal) {
  struct Row {
    const char* name_line;
    std::string err;
  };
  const Row rows[] = {
      {"\n", fatal("open: null file name", "unit 11 named ", kListIo, Lately::writing)},
      {"      \n", fatal("open: null file name", "unit 11 named ", kListIo, Lately::writing)},
      {"sub\n", fatal("open: Is a directory", "unit 11 named sub", kListIo, Lately::writing)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name_line);
    Sandbox box;
    std::filesystem::create_directory(box.path("sub"));
    const Outcome run = box.run(std::string(row.name_line) + "a\nb\nout.csv\n");
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, std::string(kOpening) + label(1));
    EXPECT_EQ(run.err, row.err);
  }
}

TEST(ComponentTitles, EchoIsColumnsThreeToEightyPaddedToSeventyEight) {
  struct Row {
    std::string line;
    std::string echo;
  };
  const std::string digits = "1234567890";
  std::string eighty;
  for (int k = 0; k < 8; ++k) eighty += digits;
  const Row rows[] = {
      {"", " " + std::string(78, ' ') + "\n"},
      {"A", " " + std::string(78, ' ') + "\n"},
      {"AB", " " + std::string(78, ' ') + "\n"},
      {"ABC", " C" + std::string(77, ' ') + "\n"},
      {"  indented title  ", " indented title" + std::string(64, ' ') + "\n"},
      {eighty, " " + eighty.substr(2) + "\n"},
      {eighty + "overflow", " " + eighty.substr(2) + "\n"},
      {"XXtab\there\xE9", " tab\there\xE9" + std::string(69, ' ') + "\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Sandbox box;
    Component c;
    c.title2 = row.line;
    c.header = header(0, "1.0");
    box.write(kName, c.text());
    const Outcome run = box.run(kSameFileThrice);
    EXPECT_TRUE(ended_normally(run));
    const std::string stage =
        title_echo(c.title1) + row.echo + title_echo(c.title3) + points_echo("0  1.");
    EXPECT_EQ(run.out, transcript(stage, stage, stage));
    EXPECT_EQ(run.err, "");
  }
}

// Point count in columns 6-11, time step in columns 17-23.
TEST(ComponentHeader, FieldsAreReadFromFixedColumns) {
  struct Row {
    const char* line;
    int nt;
    const char* shown;
  };
  const Row rows[] = {
      {"NPTS=    12, DT= .01000 SEC", 12, "12  0.00999999978"},
      {"NPTS=    12, DT= .01000 SEC, 0 POLE @ 30.00000 HZ", 12, "12  0.00999999978"},
      {"xxxxx 1 2  xxxxx 0 . 5 ", 12, "12  0.5"},
      {"xxxxx      xxxxx       tail", 0, "0  0."},
      {"xxxxx12,xxxxx0.25", 12, "12  0.25"},
      {"xxxxx    12xxxxx0.5,99", 12, "12  0.5"},
      {"NPTS=    12", 12, "12  0."},
      {"NPTS=  12", 12, "12  0."},
      {"", 0, "0  0."},
      {"xxxxx     4xxxxx  1.0-3", 4, "4  0.00100000005"},
      {"xxxxx     4xxxxx 2.5D-2", 4, "4  0.0250000004"},
      {"xxxxx     4xxxxx 2.5e+1", 4, "4  25."},
      {"xxxxx     4xxxxx      5", 4, "4  5."},
      {"xxxxx     4xxxxx  1.5+1", 4, "4  15."},
      {"xxxxx     -xxxxx   0.01", 0, "0  0.00999999978"},
      {"xxxxx    +7xxxxx      +", 7, "7  0."},
      {"xxxx1    23xxxxx   0.02", 23, "23  0.0199999996"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Sandbox box;
    Component c;
    c.header = row.line;
    c.data = data_lines(std::vector<float>(static_cast<std::size_t>(row.nt), 2.0F));
    box.write(kName, c.text());
    const Outcome run = box.run(kSameFileThrice);
    EXPECT_TRUE(ended_normally(run));
    const std::string stage = c.echo(row.shown);
    EXPECT_EQ(run.out, transcript(stage, stage, stage));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(box.read_output("out.csv").size(), static_cast<std::size_t>(row.nt) * 41);
  }
}

TEST(ComponentHeader, CharacterOutsideNumberSyntaxIsFatal) {
  const char* const lines[] = {
      "NPTS=   3970, dt=   .0100 SEC",  // count shifted right, '=' inside the time step
      "NPTS=  12.0, DT= .01000 SEC",    // point in the count
      "NPTS=   12a, DT= .01000 SEC",    // letter in the count
      "NPTS=\t  12, DT= .01000 SEC",    // tab in the count
      "NPTS=  +-12, DT= .01000 SEC",    // second sign
      "NPTS=   1-2, DT= .01000 SEC",    // sign after digits
      "NPTS=    12, DT= .01 SEC",       // text inside the time step field
      "NPTS=    12, DT= 1.0.1 SEC",     // second point
      "NPTS=    12, DT=  1.0E SEC",     // exponent letter without digits
      "NPTS=    12, DT=  1.0E+",        // exponent sign without digits
      "NPTS=    12, DT=  1.0-  ",       // bare exponent sign without digits
      "NPTS=    12, DT= 1.0Q-3",        // Q is no exponent letter
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    Sandbox box;
    Component c;
    c.header = line;
    c.data = "1 2 3 4 5\n1 2 3 4 5\n1 2 3 4 5\n";
    box.write(kName, c.text());
    const Outcome run = box.run(kSameFileThrice);
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, failed_after_titles(c));
    EXPECT_EQ(run.err,
              fatal("fmt: read unexpected character", kUnit, kHeaderFormat, Lately::reading));
    EXPECT_FALSE(box.exists("out.csv"));
  }
}

TEST(ComponentFile, EndingEarlyIsFatal) {
  const std::string titles = "T1\nT2\nT3\n";
  const std::string eof_title = fatal("fmt: end of file", kUnit, kNameFormat, Lately::reading);
  const std::string eof_header = fatal("fmt: end of file", kUnit, kHeaderFormat, Lately::reading);
  const std::string only_label = std::string(kOpening) + label(1);
  const std::string echoed = only_label + title_echo("T1") + title_echo("T2") + title_echo("T3");
  const std::string long_title = "T3" + std::string(78, '-');
  struct Row {
    const char* what;
    std::string file;
    std::string out;
    std::string err;
  };
  const Row rows[] = {
      {"empty file", "", only_label, eof_title},
      {"two lines", "T1\nT2\n", only_label, eof_title},
      {"third title short without line feed", "T1\nT2\nT3", only_label, eof_title},
      {"three lines", titles, echoed, eof_header},
      {"header short without line feed", titles + "NPTS=    1", echoed, eof_header},
      {"third title of 80 characters without line feed, then the header", "T1\nT2\n" + long_title,
       only_label + title_echo("T1") + title_echo("T2") + title_echo(long_title),
       fatal("read start: end of file", kUnit, kHeaderFormat, Lately::reading)},
      {"header without line feed, then samples", titles + header(3, ".01000"),
       echoed + points_echo("3  0.00999999978"),
       fatal("read start: end of file", kUnit, kListIo, Lately::reading)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sandbox box;
    box.write(kName, row.file);
    const Outcome run = box.run(kSameFileThrice);
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(box.read(kName), row.file);  // an input file is never modified
  }
}

TEST(ComponentFile, HeaderWithoutLineFeedIsEnoughWhenNoSampleIsRead) {
  Sandbox box;
  box.write(kName, "T1\nT2\nT3\n" + header(0, ".01000"));
  const Outcome run = box.run(kSameFileThrice);
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(box.read_output("out.csv"), "");
}

TEST(ComponentFile, CarriageReturnBeforeLineFeedBelongsToTheLineEnd) {
  Component lf;
  lf.header = header(7, ".02000");
  const std::vector<float> v = {0.125F, -0.25F, 0.5F, -1.0F, 2.0F, -4.0F, 8.0F};
  lf.data =
      "  .1250E+00  -.2500E+00   .5000E+00  -.1000E+01   .2000E+01\n"
      " -.4000E+01   .8000E+01\n";
  Component crlf = lf;
  crlf.eol = "\r\n";
  crlf.data =
      "  .1250E+00  -.2500E+00   .5000E+00  -.1000E+01   .2000E+01\r\n"
      " -.4000E+01   .8000E+01\r\n";
  Sandbox box;
  box.write(kName, crlf.text());
  const Outcome run = box.run("c.at2\r\nc.at2\r\nc.at2\r\nout.csv\r\n");
  EXPECT_TRUE(ended_normally(run));
  const std::string stage = lf.echo("7  0.0199999996");
  EXPECT_EQ(run.out, transcript(stage, stage, stage));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(box.read_output("out.csv"), combined(7, 0.02F, v, v, v));
}

// With CR CR LF line ends one carriage return stays in each line as an ordinary character.
TEST(ComponentFile, CarriageReturnInsideLineIsOrdinaryCharacter) {
  Component c;
  c.eol = "\r\r\n";
  c.header = header(7, ".02000");
  c.data = "1 2 3 4 5\r\r\n6 7\r\r\n";
  Sandbox box;
  box.write(kName, c.text());
  const Outcome run = box.run(kSameFileThrice);
  EXPECT_TRUE(ended_normally(run));
  const std::string stage = title_echo(c.title1 + "\r") + title_echo(c.title2 + "\r") +
                            title_echo(c.title3 + "\r") + points_echo("7  0.0199999996");
  EXPECT_EQ(run.out, transcript(stage, stage, stage));
  EXPECT_EQ(run.err, "");
  const std::vector<float> v = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(box.read_output("out.csv"), combined(7, 0.02F, v, v, v));
}

TEST(ComponentFile, CarriageReturnWhereNumberIsSoughtIsFatal) {
  struct Row {
    const char* header;
    const char* data;
    std::string points;
    std::string err;
  };
  const Row rows[] = {
      {"NPTS=    7", "1 2 3 4 5\r\r\n6 7\r\r\n", "",
       fatal("fmt: read unexpected character", kUnit, kHeaderFormat, Lately::reading)},
      {"NPTS=    5, DT= .02000 SEC", "1 2 3\r\r\n4 5\r\r\n", points_echo("5  0.0199999996"),
       fatal("invalid number: incomprehensible list input", kUnit, kListIo, Lately::reading)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.data);
    Component c;
    c.title1 = "T1";
    c.title2 = "T2";
    c.title3 = "T3";
    c.eol = "\r\r\n";
    c.header = row.header;
    c.data = row.data;
    Sandbox box;
    box.write(kName, c.text());
    const Outcome run = box.run(kSameFileThrice);
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, std::string(kOpening) + label(1) + title_echo("T1\r") + title_echo("T2\r") +
                           title_echo("T3\r") + row.points);
    EXPECT_EQ(run.err, row.err);
  }
}

}  // namespace
}  // namespace e2e
