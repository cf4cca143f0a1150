// The fatal diagnostic, and the runtime's units: opening and closing files, the end of
// the run, and what happens to pending output.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "faults.hpp"
#include "harness.hpp"
#include "record_io/diagnostic.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/formatted_write.hpp"
#include "record_io/list_read.hpp"
#include "record_io/list_write.hpp"

namespace record_io {
namespace {

using testing::Console;
using testing::native_lines;
using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

StatementState state(int unit, std::string_view name, std::string_view format, bool reading) {
  StatementState s;
  s.unit = unit;
  s.unit_named = !name.empty();
  s.unit_name = name;
  s.format_recorded = !format.empty();
  s.format = format;
  s.reading = reading;
  return s;
}

TEST(DiagnosticText, WritesFourLines) {
  struct Case {
    Failure failure;
    StatementState state;
    const char* text;
  };
  const Case cases[] = {
      {Failure::of_system(ENOENT, "open"), state(11, "comp1.txt", "list io", false),
       "open: No such file or directory\napparent state: unit 11 named comp1.txt\n"
       "last format: list io\nlately writing sequential formatted external IO\n"},
      {Failure::of_layer(end_of_file, "fmt"), state(5, "", "(a80)", true),
       "fmt: end of file\napparent state: unit 5 (unnamed)\nlast format: (a80)\n"
       "lately reading sequential formatted external IO\n"},
      {Failure::of_layer(null_file_name, "open"), state(11, "", "", true),
       "open: null file name\napparent state: unit 11 (unnamed)\n"
       "lately reading sequential formatted external IO\n"},
      {Failure::of_layer(truncation_failed, "endfile"), state(11, "out.csv", "", false),
       "endfile: truncation failed in endfile\napparent state: unit 11 named out.csv\n"
       "lately writing sequential formatted external IO\n"},
      {Failure::of_layer(incomprehensible_list_input, "list in"), state(11, "a b", "list io", true),
       "list in: incomprehensible list input\napparent state: unit 11 named a b\n"
       "last format: list io\nlately reading sequential formatted external IO\n"},
      {Failure::of_layer(read_unexpected_character, "fmt"),
       state(11, "h.at2", "(5X,I6,5X,F7.0)", true),
       "fmt: read unexpected character\napparent state: unit 11 named h.at2\n"
       "last format: (5X,I6,5X,F7.0)\nlately reading sequential formatted external IO\n"},
      {Failure::of_layer(cant_write_file, "write start"),
       state(11, "ro.csv", "(F7.3,3(\x02,\x02,F10.3))", false),
       "write start: can't write file\napparent state: unit 11 named ro.csv\n"
       "last format: (F7.3,3(\x02,\x02,F10.3))\n"
       "lately writing sequential formatted external IO\n"},
      {Failure::of_layer(unit_not_connected, "read start"), state(12, "", "list io", true),
       "read start: unit not connected\napparent state: unit 12 (unnamed)\n"
       "last format: list io\nlately reading sequential formatted external IO\n"},
      {Failure::of_system(EISDIR, "open"), state(11, "dir", "", false),
       "open: Is a directory\napparent state: unit 11 named dir\n"
       "lately writing sequential formatted external IO\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(diagnostic_text(c.failure, c.state), c.text);
}

TEST(DiagnosticText, SystemErrorsOfAnyNumberCarryTheSystemsText) {
  // Linux numbers its errors past 100 (122: the disk quota exceeded); the layer's own
  // numbers start at 100 too, but never stand for a system error.
  const StatementState s = state(11, "out.csv", "", false);
  for (int error : {EACCES, 107, 115, 122, 127}) {
    SCOPED_TRACE(error);
    EXPECT_EQ(diagnostic_text(Failure::of_system(error, "write"), s),
              "write: " + std::string(std::strerror(error)) +
                  "\napparent state: unit 11 named out.csv\n"
                  "lately writing sequential formatted external IO\n");
  }
  EXPECT_EQ(diagnostic_text(Failure::of_layer(null_file_name, "open"), s).substr(0, 22),
            "open: null file name\na");
}

TEST(Statement, AFailingSystemReportsItsOwnTextWhateverTheNumber) {
  // 107 and 115 are also numbers of the layer's own messages.
  for (int error : {EIO, 107, 115, 122}) {
    SCOPED_TRACE(error);
    Console console("never read\n");
    console.input().fail_reads(error);
    const Format name_format("(a80)");
    std::string name;
    EXPECT_EQ(console.fatal([&] { FormattedRead(console.io(), 5, name_format).text(name).end(); }),
              testing::stdin_report("fmt: " + std::string(std::strerror(error)), "(a80)"));
  }
}

TEST(DiagnosticText, LinesEndAsTheErrorChannelsDo) {
  EXPECT_EQ(
      diagnostic_text(Failure::of_layer(end_of_file, "fmt"), state(5, "", "(a80)", true), "\r\n"),
      "fmt: end of file\r\napparent state: unit 5 (unnamed)\r\nlast format: (a80)\r\n"
      "lately reading sequential formatted external IO\r\n");
}

std::string open_report(const std::string& error, const std::string& unit_line,
                        const char* format_line, const char* direction) {
  std::string report = error + "\napparent state: unit 11 " + unit_line + "\n";
  if (format_line != nullptr) report += std::string("last format: ") + format_line + "\n";
  return report + "lately " + direction + " sequential formatted external IO\n";
}

const Format line_format("(a80)");

TEST(Open, ReportsFailuresWithTheUnitsName) {
  ScratchDir scratch;
  std::string missing = scratch.path("comp1.txt");
  struct Case {
    std::string name;
    OpenStatus status;
    std::string report;
  };
  const Case cases[] = {
      {"   ", OpenStatus::old, open_report("open: null file name", "named ", "list io", "writing")},
      {"", OpenStatus::unknown,
       open_report("open: null file name", "named ", "list io", "writing")},
      {missing + "   ", OpenStatus::old,
       open_report("open: No such file or directory", "named " + missing, "list io", "writing")},
      {"  " + missing, OpenStatus::old,
       open_report("open: No such file or directory", "named   " + missing, "list io", "writing")},
      {scratch.path("no/such/dir.csv"), OpenStatus::unknown,
       open_report("open: No such file or directory", "named " + scratch.path("no/such/dir.csv"),
                   "list io", "writing")},
      {scratch.dir(), OpenStatus::old,
       open_report("open: Is a directory", "named " + scratch.dir(), "list io", "writing")},
      {scratch.dir(), OpenStatus::unknown,
       open_report("open: Is a directory", "named " + scratch.dir(), "list io", "writing")},
      // The system would cut the name at its NUL byte; the unit line shows it as far as that.
      {std::string("a\0b", 3), OpenStatus::unknown,
       open_report("open: Invalid argument", "named a", "list io", "writing")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Console console;
    ListWrite(console.io(), 6).text("First Component:").end();
    EXPECT_EQ(console.fatal([&] { console.io().open(11, c.name, c.status); }), c.report);
  }
}

TEST(Open, NamesBlanksAtTheStart) {
  ScratchDir scratch;
  struct Chdir {
    std::filesystem::path before = std::filesystem::current_path();
    ~Chdir() { std::filesystem::current_path(before); }
  } in_scratch;
  std::filesystem::current_path(scratch.dir());
  Console console;
  console.io().open(11, "  lead.csv  ", OpenStatus::unknown);
  FormattedWrite(console.io(), 11, Format("(I3)")).integer(7).end();
  console.io().close(11);
  EXPECT_EQ(read_file(scratch.path("  lead.csv")), native_lines("  7\n"));
}

TEST(LastFormat, IsShownOnlyWhileRecorded) {
  ScratchDir scratch;
  std::string missing = scratch.path("missing");
  std::string name_line = "named " + missing;
  std::string line;
  float v[5];
  struct Case {
    std::function<void(Console&)> before;
    const char* format_line;
    const char* direction;
  };
  const Case cases[] = {
      {[](Console& c) { ListWrite(c.io(), 6).end(); }, "list io", "writing"},
      {[&](Console& c) { FormattedRead(c.io(), 5, line_format).text(line).end(); }, nullptr,
       "reading"},
      {[&](Console& c) {
         FormattedRead(c.io(), 5, line_format).text(line).end();
         ListWrite(c.io(), 6).end();
       },
       "list io", "writing"},
      {[&](Console& c) {
         ListRead(c.io(), 5).reals(v, 5).end();
         ListWrite(c.io(), 6).end();
       },
       "list io", "writing"},
      {[&](Console& c) {
         ListWrite(c.io(), 6).end();
         ListRead(c.io(), 5).reals(v, 5).end();
       },
       "list io", "reading"},
      {[](Console& c) { FormattedWrite(c.io(), 6, Format("(I3)")).integer(1).end(); }, nullptr,
       "writing"},
  };
  // On a console each record is handed over as its statement ends; a redirected output has
  // its records built in its buffer.
  for (bool console_output : {true, false}) {
    for (const Case& c : cases) {
      Console console("1 2 3 4 5\n", console_output);
      c.before(console);
      EXPECT_EQ(
          console.fatal([&] { console.io().open(11, missing, OpenStatus::old); }),
          open_report("open: No such file or directory", name_line, c.format_line, c.direction));
    }
  }
}

// A write statement on the unit of the one before, under a format with a fixed layout,
// begins straight in the output buffer without recording its format; a failure within it
// still reports the format, as the first statement's would, and one after it reports none.
TEST(LastFormat, IsRecordedWhenAStatementBegunInTheBufferFails) {
  const Format combined("(F7.3,3(\x02,\x02,F10.3))");
  const Format other("(I3,'|',F5.1)");
  struct Case {
    std::function<void(Runtime&)> statement;
    const char* report;  // nullptr: the statement ends well, and a failure after it is shown
  };
  const std::string tail = "lately writing sequential formatted external IO\n";
  const Case cases[] = {
      {[&](Runtime& io) { FormattedWrite(io, 6, combined).real(1).integer(2).end(); },
       "fmt: error in format\napparent state: unit 6 (unnamed)\n"
       "last format: (F7.3,3(\x02,\x02,F10.3))\n"},
      {[&](Runtime& io) { FormattedWrite(io, 6, other).text("x").end(); },
       "fmt: error in format\napparent state: unit 6 (unnamed)\nlast format: (I3,'|',F5.1)\n"},
      {[&](Runtime& io) {
         FormattedWrite(io, 6, combined).real(1).end();
         io.fail(end_of_file, "fmt");
       },
       nullptr},
  };
  for (bool first : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(first ? "the first statement" : "after another");
      Console console("", false);
      if (!first) FormattedWrite(console.io(), 6, combined).real(0).real(1).real(2).real(3).end();
      EXPECT_EQ(
          console.fatal([&] { c.statement(console.io()); }),
          (c.report ? c.report : "fmt: end of file\napparent state: unit 6 (unnamed)\n") + tail);
    }
  }
}

// A statement on the unit of the one before skips the unit table; the first statement of a
// run has none before it (-1), and a number outside the table fails even then.
TEST(Statement, OnAUnitNumberOutsideTheTableFails) {
  for (int unit : {-1, 100}) {
    SCOPED_TRACE(unit);
    Console console;
    EXPECT_EQ(
        console.fatal([&] { ListWrite(console.io(), unit).end(); }),
        "write start: illegal unit number\nlately writing sequential formatted external IO\n");
  }
  // Inside the table, a unit the statement cannot use: not connected, or read only.
  for (int unit : {11, 5}) {
    SCOPED_TRACE(unit);
    Console console;
    EXPECT_EQ(console.fatal([&] { ListWrite(console.io(), unit).end(); }),
              std::string(unit == 11 ? "write start: unit not connected"
                                     : "write start: can't write file") +
                  "\napparent state: unit " + std::to_string(unit) +
                  " (unnamed)\nlast format: list io\nlately writing sequential formatted "
                  "external IO\n");
  }
}

// Output and diagnostic into one log, to see their order.
class LogChannel final : public ByteChannel {
 public:
  explicit LogChannel(std::string& log) : log_(log) {}
  long read(char*, std::size_t) override { return 0; }
  std::size_t write(const char* data, std::size_t size) override {
    log_.append(data, size);
    return size;
  }

 private:
  std::string& log_;
};

[[noreturn]] void throw_stopped() {
  throw testing::Stopped{};
}
[[noreturn]] void throw_aborted() {
  throw testing::Aborted{};
}

TEST(RunEnd, PendingOutputFollowsTheDiagnostic) {
  std::string log;
  Runtime io(std::make_unique<StringChannel>("1 2\n"), std::make_unique<LogChannel>(log),
             std::make_unique<LogChannel>(log), {throw_stopped, throw_aborted});
  ListWrite(io, 6).text("First Component:").end();
  EXPECT_EQ(log, "");  // a redirected output keeps its records until the run ends
  float v[5];
  EXPECT_THROW(ListRead(io, 5).reals(v, 5).end(), testing::Aborted);
  EXPECT_EQ(log, testing::stdin_report("list in: end of file", "list io") + " First Component:\n");
}

TEST(RunEnd, StopWritesPendingOutput) {
  Console console("", false);
  ListWrite(console.io(), 6).text("done").end();
  EXPECT_EQ(console.output(), "");
  EXPECT_THROW(console.io().stop(), testing::Stopped);
  EXPECT_EQ(console.output(), " done\n");
  EXPECT_EQ(console.diagnostic(), "");
}

TEST(RunEnd, FailedConsoleWritesGoUnreported) {
  Console console;
  console.output_channel().fail_writes(EIO);
  ListWrite(console.io(), 6).text("lost").end();
  EXPECT_EQ(console.output_channel().writes(), 1);
  console.output_channel().fail_writes(0);
  ListWrite(console.io(), 6).text("kept").end();
  EXPECT_EQ(console.output(), " kept\n");

  Console buffered("", false);
  ListWrite(buffered.io(), 6).text("lost").end();
  buffered.output_channel().fail_writes(ENOSPC);
  EXPECT_THROW(buffered.io().stop(), testing::Stopped);
  EXPECT_EQ(buffered.diagnostic(), "");
}

TEST(FileUnit, AFailedWriteIsReportedWithoutAFormatLine) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  Console console;
  const Format combined("(F7.3,3(\x02,\x02,F10.3))");
  console.io().open(11, "/dev/full", OpenStatus::unknown);
  FormattedWrite(console.io(), 11, combined).real(0).real(1).real(2).real(3).end();
  EXPECT_EQ(console.fatal([&] { console.io().close(11); }),
            "write: No space left on device\napparent state: unit 11 named /dev/full\n"
            "lately writing sequential formatted external IO\n");
}

TEST(FileUnit, WrittenFileIsCutAfterItsLastRecord) {
  ScratchDir scratch;
  std::string out = scratch.path("out.csv");
  write_file(out, std::string(200, 'x') + "\n");
  Console console;
  const Format f("(I3)");
  console.io().open(11, out, OpenStatus::unknown);
  FormattedWrite(console.io(), 11, f).integer(1).integer(2).end();
  console.io().close(11);
  EXPECT_EQ(read_file(out), native_lines("  1\n  2\n"));

  console.io().open(11, out, OpenStatus::unknown);  // nothing written: left as it was
  console.io().close(11);
  EXPECT_EQ(read_file(out), native_lines("  1\n  2\n"));

  std::string created = scratch.path("new.csv");
  console.io().open(11, created, OpenStatus::unknown);
  console.io().close(11);
  EXPECT_TRUE(std::filesystem::exists(created));
  EXPECT_EQ(read_file(created), "");

  // Opened on another file without a close: the file written is closed, and cut, first,
  // and the records after the open go to the other file.
  console.io().open(11, out, OpenStatus::unknown);
  FormattedWrite(console.io(), 11, f).integer(3).end();
  console.io().open(11, created, OpenStatus::unknown);
  FormattedWrite(console.io(), 11, f).integer(4).end();
  console.io().close(11);
  EXPECT_EQ(read_file(out), native_lines("  3\n"));
  EXPECT_EQ(read_file(created), native_lines("  4\n"));

  // Written after a line read: the record follows that line, whatever was read ahead.
  write_file(out, "  1\n  2\n  3\n");
  console.io().open(11, out, OpenStatus::unknown);
  std::string line;
  FormattedRead(console.io(), 11, line_format).text(line).end();
  FormattedWrite(console.io(), 11, f).integer(9).end();
  console.io().close(11);
  EXPECT_EQ(read_file(out), "  1\n" + native_lines("  9\n"));
}

// The names in a folder, hidden temporary files among them.
std::vector<std::string> names_in(const ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.dir())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A file written by a unit is replaced whole at close or at the stop, and left as it was
// by a fatal end; where no temporary file can be made beside it, or the rename cannot
// serve, it is written in place as before, cut after its last record.
TEST(FileUnit, TheRunsEndReplacesWrittenFilesWholeOrLeavesThemAsTheyWere) {
  using platform::Call;
  struct Row {
    const char* what;
    Call call;  // the call made to fail, with `error`; 0: none
    int error;
    bool fatal;  // the run ends by a failure rather than the stop
    bool in_place;
    std::size_t old_size = 300;  // 0: an empty file, as the open of a new name leaves
  };
  const Row rows[] = {
      {"stop", Call::open, 0, false, false},
      {"fatal end", Call::open, 0, true, false},
      {"stop over an empty file", Call::open, 0, false, false, 0},
      {"fatal end over an empty file", Call::open, 0, true, false, 0},
      {"no temporary file there: stop", Call::temporary, EACCES, false, true},
      {"no temporary file there: fatal end", Call::temporary, EACCES, true, true},
      {"a rename refused as on a mount point", Call::rename, EBUSY, false, false},
      {"a rename refused as across file systems", Call::rename, EXDEV, false, false},
  };
  const Format f("(I3)");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string old(row.old_size, 'x');
    ScratchDir scratch;
    const std::string out = scratch.path("out.csv");
    write_file(out, old);
    Console console;
    console.io().open(11, out, OpenStatus::unknown);
    if (row.error != 0) platform::fail_call(row.call, 1, row.error);
    FormattedWrite(console.io(), 11, f).integer(1).end();
    EXPECT_EQ(read_file(out), row.in_place ? "" : old);  // cut at the first write, or not yet
    if (row.fatal) {
      float v[5];
      console.fatal([&] { ListRead(console.io(), 5).reals(v, 5).end(); });
    } else {
      EXPECT_THROW(console.io().stop(), testing::Stopped);
    }
    platform::fail_call(row.call, 0, 0);
    EXPECT_EQ(read_file(out), row.fatal && !row.in_place ? old : native_lines("  1\n"));
    EXPECT_EQ(names_in(scratch), std::vector<std::string>{"out.csv"});
  }
}

// A replacement that cannot be made or put in place ends the run with a report, the old
// file kept.
TEST(FileUnit, AFailedReplacementIsReportedAndLeavesTheOldFile) {
  using platform::Call;
  const struct {
    Call call;
    int error;
    const char* format;  // the failure comes at the end, or at the start of the first write
  } rows[] = {{Call::rename, EIO, ""}, {Call::temporary, ENOSPC, "last format: (I3)\n"}};
  const Format f("(I3)");
  for (const auto& row : rows) {
    ScratchDir scratch;
    const std::string out = scratch.path("out.csv");
    write_file(out, "old\n");
    Console console;
    console.io().open(11, out, OpenStatus::unknown);
    platform::fail_call(row.call, 1, row.error);
    EXPECT_EQ(console.fatal([&] {
      FormattedWrite(console.io(), 11, f).integer(1).end();
      console.io().stop();
    }),
              "write: " + std::string(std::strerror(row.error)) +
                  "\napparent state: unit 11 named " + out + "\n" + row.format +
                  "lately writing sequential formatted external IO\n");
    platform::fail_call(row.call, 0, 0);
    EXPECT_EQ(read_file(out), "old\n");
    EXPECT_EQ(names_in(scratch), std::vector<std::string>{"out.csv"});
  }
}

TEST(FileUnit, OpeningAgainClearsTheEndOfFileMark) {
  ScratchDir scratch;
  std::string in = scratch.path("short.at2");
  write_file(in, "1 2 3 4 5");
  Console console;
  float v[5] = {};
  for (int pass = 0; pass < 2; ++pass) {
    console.io().open(11, in, OpenStatus::old);
    ListRead(console.io(), 11).reals(v, 5).end();
    console.io().close(11);
  }
  EXPECT_EQ(v[4], 5.0f);
}

// Statements on two units in turn, each like the one before it on the other unit: each
// reads its own file and writes its own records.
TEST(FileUnit, StatementsOnTwoUnitsInTurnKeepToTheirOwnFiles) {
  ScratchDir scratch;
  write_file(scratch.path("a"), "1 2 3 4 5\n6 7 8 9 10\n");
  write_file(scratch.path("b"), "-1 -2 -3 -4 -5\n-6 -7 -8 -9 -10\n");
  Console console;
  console.io().open(11, scratch.path("a"), OpenStatus::old);
  console.io().open(12, scratch.path("b"), OpenStatus::old);
  float a[10] = {}, b[10] = {};
  for (int k = 0; k < 2; ++k) {
    ListRead(console.io(), 11).reals(a + 5 * k, 5).end();
    ListRead(console.io(), 12).reals(b + 5 * k, 5).end();
  }
  EXPECT_EQ(a[9] - a[0], 9.0f);
  EXPECT_EQ(b[9] - b[0], -9.0f);
  const Format f("(F7.3)");
  console.io().open(13, scratch.path("c"), OpenStatus::unknown);
  console.io().open(14, scratch.path("d"), OpenStatus::unknown);
  for (float v : {1.0f, 2.0f}) {
    FormattedWrite(console.io(), 13, f).real(v).end();
    FormattedWrite(console.io(), 14, f).real(-v).end();
  }
  // A read between two writes on one unit: the second write's two records still go to
  // its own file.
  write_file(scratch.path("e"), "7\n");
  console.io().open(15, scratch.path("e"), OpenStatus::old);
  FormattedWrite(console.io(), 13, f).real(3).end();
  ListRead(console.io(), 15).reals(a, 1).end();
  FormattedWrite(console.io(), 13, f).real(4).real(5).end();
  console.io().close(13);
  console.io().close(14);
  console.io().close(15);
  EXPECT_EQ(read_file(scratch.path("c")),
            native_lines("  1.000\n  2.000\n  3.000\n  4.000\n  5.000\n"));
  EXPECT_EQ(read_file(scratch.path("d")), native_lines(" -1.000\n -2.000\n"));
  EXPECT_EQ(read_file(scratch.path("e")), "7\n");
}

TEST(FileUnit, ReadsAComponentFileAndNamesItInFailures) {
  ScratchDir scratch;
  std::string in = scratch.path("comp1.at2");
  write_file(in, "title\r\n     |\r\n1 2 3 4 5\r\n6 7");
  Console console;
  console.io().open(11, in, OpenStatus::old);
  std::string line;
  FormattedRead(console.io(), 11, line_format).text(line).end();
  FormattedRead(console.io(), 11, line_format).text(line).end();
  EXPECT_EQ(line, "     |" + std::string(74, ' '));
  float v[5] = {};
  ListRead(console.io(), 11).reals(v, 5).end();
  EXPECT_EQ(v[4], 5.0f);
  EXPECT_EQ(console.fatal([&] { ListRead(console.io(), 11).reals(v, 5).end(); }),
            "list in: end of file\napparent state: unit 11 named " + in +
                "\nlast format: list io\nlately reading sequential formatted external IO\n");
}

}  // namespace
}  // namespace record_io
