// The command line of peer-normalize: usage errors, help and version, a folder of inputs
// with refused ones among them, outputs that name the input, standard input.
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

Outcome run(const Sandbox& box, std::vector<std::string> arguments, std::string_view input = "") {
  return box.run(input, Launch{program_path("peer-normalize"), std::move(arguments)});
}

const std::string kTitles = "RECORD\nEVENT, STATION, 090\nUNITS OF G\n";
// A record in the newer layout, and the same one as the merge reads it.
const std::string kRecord = kTitles + "NPTS=   6, DT=   .0200 SEC, 0 POLE\n .1 .2 .3 .4 .5 .6 .7\n";
const std::string kNormalized = kTitles + "NPTS=     6, DT= .02000 SEC\n" +
                                "             .1             .2             .3             .4"
                                "             .5\n             .6\n";
const std::string kExtraWarning =
    ":5: warning: 1 value beyond the 6 the header counts (NPTS); left out\n";

struct Misuse {
  std::vector<std::string> arguments;
  const char* message;
};

TEST(CommandLine, MisuseIsAUsageError) {
  const Misuse cases[] = {
      {{}, "missing input file"},
      {{"-x", "a"}, "unknown option '-x'"},
      {{"--directory"}, "option '--directory' needs a folder"},
      {{"a", "b", "c"}, "too many files ('c'); for several, use -d DIR"},
      {{"-d", "o", "-"}, "-d writes under the inputs' names; '-' has none"},
      {{"-d", "o", "--directory=p", "a"}, "more than one output folder (-d)"},
      {{"--check", "a", "b"}, "--check takes one record, or three and the output's name"},
      {{"--check", "a", "-", "c"}, "--check reads files by name, as the merge does; '-' is none"},
      {{"--check", "--units=g", "a"}, "--check only reads; it takes no -d or --units"},
      {{"--triplets", "a", "b", "c"}, "--triplets writes to a folder: give it with -d DIR"},
      {{"--cut", "a"}, "--cut goes with --triplets"},
      {{"--units", "furlong", "a"}, "unknown unit 'furlong' (g, cm/s2 or m/s2)"},
      {{"-d", "", "a"}, "empty folder name for -d"},
      {{"--directory=", "a"}, "empty folder name for -d"},
  };
  Sandbox box;
  for (const Misuse& c : cases) {
    SCOPED_TRACE(c.message);
    const Outcome o = run(box, c.arguments);
    EXPECT_EQ(o.exit_status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "peer-normalize: " + std::string(c.message) +
                         "\nTry 'peer-normalize --help' for more information.\n");
  }
}

TEST(CommandLine, HelpAndVersion) {
  Sandbox box;
  const Outcome help = run(box, {"a", "--help", "-x"});
  EXPECT_TRUE(ended_normally(help));
  EXPECT_EQ(help.out.rfind("Usage: peer-normalize [OPTION]... IN [OUT]\n", 0), 0U) << help.out;
  EXPECT_EQ(help.err, "");
  const Outcome version = run(box, {"--version"});
  EXPECT_TRUE(ended_normally(version));
  EXPECT_EQ(version.out, "peer-normalize " PEER_PROJECT_VERSION "\n");
}

TEST(CommandLine, FolderKeepsGoingPastRefusedInputsAndWritesNoneForThem) {
  Sandbox box;
  std::filesystem::create_directory(box.path("out"));
  box.write("good.at2", kRecord);
  box.write("bad.at2", kTitles + "NPTS=2, DT=.01\n1 x\n");
  box.write("short.at2", kTitles + "NPTS=9, DT=.01\n1 2\n");
  std::filesystem::create_directory(box.path("sub"));
  box.write("sub/good.at2", kRecord);
  const Outcome o = run(box, {"good.at2", "bad.at2", "--directory", "out", "missing.at2",
                              "short.at2", "--", "-d", "sub/good.at2"});
  EXPECT_EQ(o.exit_status, 1);
  EXPECT_EQ(o.err, "good.at2" + kExtraWarning + "bad.at2:5:3: expected a number, found 'x'\n" +
                       "peer-normalize: missing.at2: No such file or directory\n" +
                       "short.at2:5: 2 values, fewer than the 9 the header counts (NPTS)\n" +
                       "peer-normalize: -d: No such file or directory\n" +
                       "peer-normalize: sub/good.at2: out/good.at2 was written for an earlier "
                       "input; left as it is\n");
  EXPECT_EQ(box.read_output("out/good.at2"), kNormalized);
  EXPECT_FALSE(box.exists("out/bad.at2"));
  EXPECT_FALSE(box.exists("out/short.at2"));
}

// A record far longer than a read buffer, eight values a line, and its normalised text.
struct Long {
  std::string record = kTitles + "NPTS=  40000, dt=.005\n";
  std::string normalized = kTitles + "NPTS= 40000, DT= .00500 SEC\n";
  Long() {
    for (int k = 0; k < 40000; ++k) {
      const std::string value = std::to_string(k % 1000) + ".5";
      record += value + (k % 8 == 7 ? "\n" : " ");
      normalized += std::string(15 - value.size(), ' ') + value + (k % 5 == 4 ? "\n" : "");
    }
  }
};

TEST(CommandLine, OutputNamingTheInputIsRewrittenWhole) {
  const Long rec;
  Sandbox box;
  box.write("rec.at2", rec.record);
  EXPECT_TRUE(ended_normally(run(box, {"rec.at2", "rec.at2"})));
  EXPECT_TRUE(same_lines(box.read_output("rec.at2"), rec.normalized));

  box.write("rec.at2", rec.record);
  std::filesystem::create_symlink("rec.at2", box.path("link.at2"));
  EXPECT_TRUE(ended_normally(run(box, {"rec.at2", "link.at2"})));
  EXPECT_TRUE(std::filesystem::is_symlink(box.path("link.at2")));
  EXPECT_TRUE(same_lines(box.read_output("rec.at2"), rec.normalized));

  box.write("rec.at2", rec.record);
  EXPECT_TRUE(ended_normally(run(box, {"-d", ".", "rec.at2"})));
  EXPECT_TRUE(same_lines(box.read_output("rec.at2"), rec.normalized));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.dir()), {}), 2);
}

TEST(CommandLine, ExistingOutputIsReplacedWholeOrLeftAsItWas) {
  Sandbox box;
  box.write("bad.at2", kTitles + "DT=.01\n1\n");
  box.write("rec.at2", kRecord);
  box.write("out.at2", std::string(5000, 'x'));
  const Outcome refused = run(box, {"bad.at2", "out.at2"});
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.err, "bad.at2:4: no point count (NPTS) in the header line\n");
  EXPECT_EQ(box.read("out.at2"), std::string(5000, 'x'));
  EXPECT_TRUE(ended_normally(run(box, {"rec.at2", "out.at2"})));
  EXPECT_EQ(box.read_output("out.at2"), kNormalized);
}

TEST(CommandLine, StandardStreams) {
  Sandbox box;
  const Outcome piped = run(box, {"-", "-"}, kRecord);
  EXPECT_TRUE(ended_normally(piped));
  EXPECT_EQ(piped.out, kNormalized);
  EXPECT_EQ(piped.err, "<stdin>" + kExtraWarning);
  if (target().windows) return;
  // A file name for a pipe: written to without being read first.
  box.write("rec.at2", kRecord);
  const Outcome named = run(box, {"rec.at2", "/dev/stdout"});
  EXPECT_TRUE(ended_normally(named));
  EXPECT_EQ(named.out, kNormalized);
}

}  // namespace
}  // namespace e2e
