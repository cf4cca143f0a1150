// A component file that ends anywhere: at every byte offset of a small valid file the run
// either merges or ends with one of the reading diagnostics, never anything else.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

// Every diagnostic a component file that is cut short may end with: the file ends inside
// a title line or header field, a statement starts after a read reached the end of a file
// without a final line feed, the data run out, or the last value is cut inside its
// mantissa ("-", ".") or its exponent ("1.0E", "1.0E-").
const std::set<std::string> kShortFileEndings = {
    fatal("fmt: end of file", "unit 11 named c.at2", kNameFormat, Lately::reading),
    fatal("fmt: end of file", "unit 11 named c.at2", kHeaderFormat, Lately::reading),
    fatal("read start: end of file", "unit 11 named c.at2", kNameFormat, Lately::reading),
    fatal("read start: end of file", "unit 11 named c.at2", kHeaderFormat, Lately::reading),
    fatal("read start: end of file", "unit 11 named c.at2", kListIo, Lately::reading),
    fatal("list in: end of file", "unit 11 named c.at2", kListIo, Lately::reading),
    fatal("invalid number: incomprehensible list input", "unit 11 named c.at2", kListIo,
          Lately::reading),
    fatal("exponent field: incomprehensible list input", "unit 11 named c.at2", kListIo,
          Lately::reading),
};

void check_every_cut(const std::string& whole) {
  Sandbox box;
  int merged = 0;
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE("file cut to " + std::to_string(length) + " bytes");
    box.write("c.at2", whole.substr(0, length));
    const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.csv\n");
    ASSERT_FALSE(run.timed_out);
    if (run.exit_status == 0) {
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(box.read_output("out.csv").size(), 7U * 41);
      ++merged;
    } else {
      EXPECT_TRUE(aborted(run));
      EXPECT_EQ(kShortFileEndings.count(run.err), 1U) << run.err;
    }
  }
  // The cuts that keep every value of the last line merge; the whole file among them.
  EXPECT_GE(merged, 1);
}

Component seven_points(std::string eol) {
  Component c;
  c.header = header(7, ".01000");
  c.eol = eol;
  c.data = "   .1000000E+00  -.2000000E-01   .3000000E+01  -.4000000E+00   .5000000E-03" + eol +
           "  -.6000000E+00   .7000000E+00" + eol;
  return c;
}

TEST(Truncation, FileEndingAtEveryByteEndsWithADiagnosticOrMerges) {
  check_every_cut(seven_points("\n").text());
}

TEST(Truncation, CarriageReturnLineEndsCutAnywhere) {
  check_every_cut(seven_points("\r\n").text());
}

}  // namespace
}  // namespace e2e
