// peer-normalize under faults: killed while it writes, fed a long pipe under a memory
// limit, two runs on one output, standard output onto the input, closed standard streams,
// a file-size limit, failing system calls. An output is replaced whole or left byte for
// byte as it was, with no temporary file left behind.
#include <signal.h>
#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// The harness runs every program of a Windows build under Wine, a shell too.
#define SKIP_UNDER_WINE(why) \
  if (target().windows) GTEST_SKIP() << why

Launch normalize(std::vector<std::string> arguments) {
  return Launch{program_path("peer-normalize"), std::move(arguments)};
}

// A record of `points` values, eight a line, and `extra` more beyond its count.
std::string record(int points, int extra, std::string_view value) {
  std::string text =
      "BIG RECORD\nEVENT, STATION, 090\nUNITS OF G\nNPTS= " + std::to_string(points) +
      ", dt= .0050 SEC\n";
  for (int k = 1; k <= points + extra; ++k) {
    text += value;
    text += k % 8 == 0 ? '\n' : ' ';
  }
  return text + "\n";
}

// The hidden temporary files of out.at2 in the sandbox.
std::vector<std::string> temporaries(const Sandbox& box) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(box.dir())) {
    const std::string name = e.path().filename().string();
    if (name.rfind(".out.at2.", 0) == 0) names.push_back(name);
  }
  return names;
}

// The one process working in the sandbox, found by its working folder.
fs::path process_in(const Sandbox& box) {
  const fs::path dir = fs::canonical(box.dir());
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator("/proc", ec)) {
    std::error_code unreadable;
    if (fs::read_symlink(e.path() / "cwd", unreadable) == dir) return e.path();
  }
  return {};
}

// A temporary file of out.at2 that holds more than a write buffer: named in the folder, or
// unnamed among the open files of the process (Linux O_TMPFILE).
struct Temporary {
  bool found = false;
  bool named = false;
};

Temporary temporary_being_written(const Sandbox& box) {
  constexpr std::uintmax_t more_than = 256 * 1024;
  std::error_code ec;
  for (const std::string& name : temporaries(box)) {
    if (fs::file_size(box.path(name), ec) > more_than && !ec) return {true, true};
  }
  if (target().windows) return {};
  const fs::path process = process_in(box);
  if (process.empty()) return {};
  const fs::path dir = fs::canonical(box.dir());
  for (const fs::directory_entry& fd : fs::directory_iterator(process / "fd", ec)) {
    std::error_code gone;
    const fs::path file = fs::read_symlink(fd.path(), gone);
    if (gone || file.parent_path() != dir || file.filename().string().rfind('#', 0) != 0) continue;
    if (fs::file_size(fd.path(), gone) > more_than && !gone) return {true, false};
  }
  return {};
}

TEST(Faults, KilledWhileWritingLeavesTheOldFileAsItWas) {
  const std::string big = record(999999, 0, "-.1234567E-01");
  const std::string old = record(100, 0, "7.5");
  for (const int signal_number : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal_number == SIGTERM ? "SIGTERM" : "SIGKILL");
    if (target().windows && signal_number != SIGKILL) {
      // Wine passes no signal sent from outside to the Windows program; SIGKILL ends Wine.
      continue;
    }
    Sandbox box;
    box.write("big.at2", big);
    box.write("out.at2", old);
    Process process(box.dir(), normalize({"big.at2", "out.at2"}));
    Temporary temporary;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!temporary.found && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(milliseconds(1));
      temporary = temporary_being_written(box);
    }
    ASSERT_TRUE(temporary.found) << "no temporary file was seen being written";
    process.send(signal_number);
    const Outcome killed = process.finish();
    EXPECT_EQ(killed.signal, signal_number);
    EXPECT_EQ(killed.err, "");
    EXPECT_TRUE(box.read("out.at2") == old) << "out.at2 changed";
    // SIGKILL cannot be caught: a named temporary file stays, an unnamed one does not.
    if (signal_number != SIGKILL || !temporary.named) {
      EXPECT_EQ(temporaries(box), std::vector<std::string>{});
    }
  }
}

TEST(Faults, PipedInputIsNotKeptInMemory) {
  SKIP_UNDER_WINE("Wine needs far more address space than the limit set here");
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
#endif
  // 32 MB through a pipe, with 16 MB of address space: its copy for the second reading
  // goes to a temporary file.
  const std::string big = record(999999, 1500000, ".1234567E-01");
  Sandbox box;
  box.write("big.at2", big);
  const Outcome from_file = box.run("", normalize({"big.at2", "ref.at2"}));
  ASSERT_EQ(from_file.exit_status, 0) << from_file.err;
  const Launch limited{
      "/bin/sh",
      {"-c", "ulimit -v 16384 && exec \"$0\" - out.at2", program_path("peer-normalize").string()}};
  const Outcome piped = box.run(big, limited);
  EXPECT_EQ(piped.exit_status, 0);
  EXPECT_EQ(piped.err,
            "<stdin>:125004: warning: 1500000 values beyond the 999999 the header "
            "counts (NPTS); left out\n");
  EXPECT_TRUE(box.read("out.at2") == box.read("ref.at2"));
}

TEST(Faults, TwoRunsOnOneOutputLeaveOneWholeRecord) {
  Sandbox box;
  // Read in the same time, written to different lengths: one written over the other
  // would show.
  box.write("a.at2", record(400000, 0, "1.5"));
  box.write("b.at2", record(250000, 150000, "2.5"));
  ASSERT_TRUE(ended_normally(box.run("", normalize({"a.at2", "a.ref"}))));
  ASSERT_TRUE(ended_normally(box.run("", normalize({"b.at2", "b.ref"}))));
  const std::string a = box.read("a.ref");
  const std::string b = box.read("b.ref");
  for (int round = 0; round < 3; ++round) {
    Process first(box.dir(), normalize({"a.at2", "out.at2"}));
    Process second(box.dir(), normalize({"b.at2", "out.at2"}));
    EXPECT_TRUE(ended_normally(first.finish()));
    EXPECT_TRUE(ended_normally(second.finish()));
    const std::string out = box.read("out.at2");
    EXPECT_TRUE(out == a || out == b) << "out.at2 is neither record whole";
    EXPECT_EQ(temporaries(box), std::vector<std::string>{});
  }
}

TEST(Faults, StandardOutputOntoTheInputIsRefused) {
  SKIP_UNDER_WINE("the harness would run the shell under Wine");
  const std::string rec = record(6, 1, ".5");
  Sandbox box;
  for (const char* redirection : {">>", "1<>"}) {
    SCOPED_TRACE(redirection);
    box.write("rec.at2", rec);
    const Outcome o =
        box.run("", Launch{"/bin/sh",
                           {"-c", std::string("exec \"$0\" rec.at2 ") + redirection + " rec.at2",
                            program_path("peer-normalize").string()}});
    EXPECT_EQ(o.exit_status, 1);
    EXPECT_EQ(o.err,
              "peer-normalize: rec.at2: standard output is this input itself; nothing is "
              "written (name it as the output instead)\n");
    EXPECT_EQ(box.read("rec.at2"), rec);
  }
}

// peer-normalize started by the shell: `before` its command (limits, the environment),
// `arguments` and redirections after it.
Launch by_shell(const std::string& before, const std::string& arguments) {
  return Launch{
      "/bin/sh",
      {"-c", before + " exec \"$0\" " + arguments, program_path("peer-normalize").string()}};
}

TEST(Faults, ClosedStandardStreamsTakeNoFileOfTheRun) {
  SKIP_UNDER_WINE("the shell's redirections are POSIX");
  const std::string rec = record(6, 1, ".5");
  const std::string warning =
      "<stdin>:5: warning: 1 value beyond the 6 the header counts (NPTS); left out\n";
  Sandbox box;
  box.write("rec.at2", rec);
  ASSERT_EQ(box.run("", normalize({"rec.at2", "ref.at2"})).exit_status, 0);
  // The warning for a closed standard error goes nowhere, not into the piped input's copy.
  const Outcome no_error = box.run(rec, by_shell("", "- out.at2 2>&-"));
  EXPECT_EQ(no_error.exit_status, 0);
  EXPECT_EQ(no_error.err, "");
  EXPECT_TRUE(box.read("out.at2") == box.read("ref.at2"));
  // The record for a closed standard output is lost as any write to it is.
  const Outcome no_output = box.run(rec, by_shell("", "- - >&-"));
  EXPECT_EQ(no_output.exit_status, 0);
  EXPECT_EQ(no_output.err, warning);
  const Outcome neither = box.run(rec, by_shell("", "- - >&- 2>&-"));
  EXPECT_EQ(neither.exit_status, 0);
  EXPECT_EQ(neither.err, "");
}

// A failed write, sync or rename is reported and leaves the old file; a file-size limit is
// a write failure like any other; where a rename cannot serve (a file bound onto a mount
// point), the record is written in place, whole, and cut after it.
TEST(Faults, FailedCallsAreReportedAndLeaveTheOldFile) {
  SKIP_UNDER_WINE("the limits and the environment are set by a POSIX shell");
  const std::string efbig = std::strerror(EFBIG);
  const std::string eio = std::strerror(EIO);
  const std::string enospc = std::strerror(ENOSPC);
  const std::string rename_eio = "RECORD_IO_FAULTS=rename:1:" + std::to_string(EIO);
  const std::string sync_enospc = "RECORD_IO_FAULTS=sync:1:" + std::to_string(ENOSPC);
  const std::string write_enospc = "RECORD_IO_FAULTS=write:1:" + std::to_string(ENOSPC);
  const std::string rename_ebusy = "RECORD_IO_FAULTS=rename:1:" + std::to_string(EBUSY);
  const std::string no_temporary = "RECORD_IO_FAULTS=temporary:1:" + std::to_string(EACCES);
  const struct {
    std::string before;
    const std::string* message;  // after "peer-normalize: out.at2: "; null: the run succeeds
  } rows[] = {{"ulimit -f 64 &&", &efbig}, {rename_eio, &eio},      {sync_enospc, &enospc},
              {write_enospc, &enospc},     {rename_ebusy, nullptr}, {no_temporary, nullptr}};
  Sandbox box;
  box.write("big.at2", record(20000, 0, "-.1234567E-01"));
  ASSERT_EQ(box.run("", normalize({"big.at2", "ref.at2"})).exit_status, 0);
  const std::string old(200000, 'o');
  for (const auto& row : rows) {
    SCOPED_TRACE(row.before);
    box.write("out.at2", old);
    const Outcome o = box.run("", by_shell(row.before, "big.at2 out.at2"));
    if (row.message) {
      EXPECT_EQ(o.exit_status, 1);
      EXPECT_EQ(o.err, "peer-normalize: out.at2: " + *row.message + "\n");
      EXPECT_TRUE(box.read("out.at2") == old);
    } else {
      EXPECT_EQ(o.exit_status, 0) << o.err;
      EXPECT_TRUE(box.read("out.at2") == box.read("ref.at2"));
    }
    EXPECT_EQ(temporaries(box), std::vector<std::string>{});
  }
  // Standard output's file named as the output, opened without being emptied: the record
  // replaces what it held, however long.
  box.write("out.at2", old);
  const Outcome o = box.run("", by_shell("", "big.at2 /dev/stdout 1<>out.at2"));
  EXPECT_EQ(o.exit_status, 0) << o.err;
  EXPECT_TRUE(box.read("out.at2") == box.read("ref.at2"));
}

// An output bound onto another file (a container's file volume) cannot be renamed over:
// it is written in place, and cut after the record.
TEST(Faults, ABoundOutputIsWrittenInPlace) {
  SKIP_UNDER_WINE("mounts are Linux's");
  Sandbox box;
  box.write("rec.at2", record(2000, 0, ".25"));
  ASSERT_EQ(box.run("", normalize({"rec.at2", "ref.at2"})).exit_status, 0);
  box.write("volume.at2", std::string(200000, 'o'));
  box.write("out.at2", "");
  if (::mount(box.path("volume.at2").c_str(), box.path("out.at2").c_str(), nullptr, MS_BIND,
              nullptr) != 0) {
    GTEST_SKIP() << "no mount here: " << std::strerror(errno);
  }
  const Outcome o = box.run("", normalize({"rec.at2", "out.at2"}));
  ::umount(box.path("out.at2").c_str());
  EXPECT_EQ(o.exit_status, 0) << o.err;
  EXPECT_TRUE(box.read("volume.at2") == box.read("ref.at2"));
  EXPECT_EQ(temporaries(box), std::vector<std::string>{});
}

TEST(Faults, RunningOutOfMemoryIsReported) {
  SKIP_UNDER_WINE("the environment is set by a POSIX shell");
  Sandbox box;
  box.write("rec.at2", record(6, 0, ".5"));
  const Outcome o = box.run("", by_shell("RECORD_IO_FAULTS=allocate:1:1", "rec.at2 out.at2"));
  EXPECT_EQ(o.exit_status, 1);
  EXPECT_EQ(o.err, "peer-normalize: out of memory\n");
  EXPECT_FALSE(box.exists("out.at2"));
}

}  // namespace
}  // namespace e2e
