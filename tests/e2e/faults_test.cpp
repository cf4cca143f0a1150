// Every way a run can end leaves either the old file or the whole new one, and memory
// stays the buffers' whatever the input: signals and kills while the combined file is
// written, a file-size limit, closed standard streams, a second writer, an output that is
// standard output's own file, readers that go away, lines of hundreds of megabytes.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

using std::chrono::milliseconds;

#define SKIP_UNDER_WINE(why) \
  if (target().windows) GTEST_SKIP() << why

constexpr std::string_view kAnswers = "c.at2\nc.at2\nc.at2\nout.csv\n";

// A component of n points whose values vary from record to record.
std::string component_of(int n) {
  std::vector<float> values(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) values[static_cast<std::size_t>(k)] = std::sin(0.01f * float(k)) * 9;
  Component c;
  c.header = header(n, ".00500");
  c.data = data_lines(values);
  return c.text();
}

// Lines that no combined file holds, more of them than the new file will have.
std::string old_file(std::size_t at_least) {
  std::string old;
  while (old.size() < at_least) old += "OLD OLD OLD OLD OLD OLD OLD OLD OLD OLD OLD OLD OLD\n";
  return old;
}

// The merge of c.at2 (n points) into out.csv, run once without trouble.
std::string merged(const Sandbox& box, int n) {
  box.write("c.at2", component_of(n));
  const Outcome run = box.run(kAnswers);
  EXPECT_TRUE(ended_normally(run));
  return box.read("out.csv");
}

// The files of the sandbox: no temporary file may be left among them.
std::vector<std::string> names_in(const Sandbox& box) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(box.dir())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The one process working in the sandbox, found by its working folder.
std::filesystem::path process_in(const Sandbox& box) {
  const std::filesystem::path dir = std::filesystem::canonical(box.dir());
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(e.path() / "cwd", unreadable) == dir) return e.path();
  }
  return {};
}

// The new combined file holds more than a write buffer: named beside out.csv, or unnamed
// among the open files of the process (Linux O_TMPFILE).
bool new_file_being_written(const Sandbox& box) {
  namespace fs = std::filesystem;
  constexpr std::uintmax_t more_than = 256 * 1024;
  std::error_code ec;
  for (const std::string& name : names_in(box)) {
    if (name.rfind(".out.csv.", 0) == 0 && fs::file_size(box.path(name), ec) > more_than) {
      return true;
    }
  }
  const fs::path process = process_in(box);
  if (process.empty()) return false;
  for (const fs::directory_entry& fd : fs::directory_iterator(process / "fd", ec)) {
    std::error_code gone;
    const fs::path file = fs::read_symlink(fd.path(), gone);
    if (gone || file.filename().string().rfind('#', 0) != 0) continue;
    if (fs::file_size(fd.path(), gone) > more_than && !gone) return true;
  }
  return false;
}

// The file begins with `prefix`: only those bytes are read, so that polling stays quick
// next to the run it watches.
bool begins_with(const Sandbox& box, std::string_view name, std::string_view prefix) {
  std::ifstream in(box.path(std::string(name)), std::ios::binary);
  std::string head(prefix.size(), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  return static_cast<std::size_t>(in.gcount()) == prefix.size() && head == prefix;
}

TEST(Faults, SignalOrKillWhileTheFileIsWrittenLeavesTheOldFileAsItWas) {
  SKIP_UNDER_WINE("Wine does not pass a signal sent from outside to the Windows program");
  struct Row {
    int signal_number;
    int exit_status;  // -1: ended by the signal itself
    const char* message;
    bool closed_error;  // standard error closed as the run starts
    bool in_place;      // no temporary file can be made: out.csv is written in place
  };
  const Row rows[] = {{SIGHUP, -1, "", false, false},
                      {SIGQUIT, -1, "", false, false},
                      {SIGUSR1, -1, "", false, false},
                      {SIGTERM, 1, "Killed\n", false, false},
                      {SIGINT, 1, "Interrupt\n", false, false},
                      {SIGKILL, -1, "", false, false},
                      {SIGTERM, 1, "", true, false},
                      {SIGKILL, -1, "", false, true}};
  Sandbox box;
  const std::string whole = merged(box, 400000);
  const std::string old = old_file(whole.size() + 1000000);
  for (const Row& row : rows) {
    SCOPED_TRACE(strsignal(row.signal_number) + std::string(row.closed_error ? ", 2>&-" : "") +
                 (row.in_place ? ", in place" : ""));
    box.write("out.csv", old);
    Launch launch;
    if (row.closed_error || row.in_place) {
      launch.program = "/bin/sh";
      const std::string no_temporary = "RECORD_IO_FAULTS=temporary:1:" + std::to_string(EACCES);
      launch.arguments = {"-c", row.in_place ? no_temporary + " exec \"$0\"" : "exec \"$0\" 2>&-",
                          target().program.string()};
    }
    Process process(box.dir(), launch);
    process.feed(kAnswers);
    // Once the new file has begun, the program is stopped, then signalled.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < until) {
      writing = row.in_place ? begins_with(box, "out.csv", std::string_view(whole).substr(0, 70000))
                             : new_file_being_written(box);
    }
    ASSERT_TRUE(writing) << "the new file was never seen being written";
    process.send(SIGSTOP);
    for (int k = 0; k < 100 && !process.stopped(); ++k)
      std::this_thread::sleep_for(milliseconds(2));
    process.send(row.signal_number);
    process.send(SIGCONT);
    const Outcome run = process.finish();
    if (row.exit_status < 0) {
      EXPECT_EQ(run.signal, row.signal_number);
      EXPECT_FALSE(run.core_dumped);
    } else {
      EXPECT_EQ(run.exit_status, row.exit_status);
    }
    EXPECT_EQ(run.err, row.message);
    // The old file or the whole new one (a kill may come only once it is in place); written
    // in place, the first new records and nothing old after them.
    const std::string file = box.read("out.csv");
    if (row.in_place) {
      EXPECT_TRUE(!file.empty() && whole.rfind(file, 0) == 0) << file.size() << " bytes";
    } else {
      EXPECT_TRUE(file == old || (row.signal_number == SIGKILL && file == whole))
          << file.size() << " bytes";
    }
    EXPECT_EQ(names_in(box), (std::vector<std::string>{"c.at2", "out.csv"}));
  }
}

// Runs peer-merge under `limit` (a ulimit option and value) given by a shell.
Launch limited(std::string limit) {
  Launch launch;
  launch.program = "/bin/sh";
  launch.arguments = {"-c", "ulimit " + limit + " && exec \"$0\"", target().program.string()};
  return launch;
}

TEST(Faults, AFileSizeLimitIsAReportedWriteFailureThatLeavesTheOldFile) {
  SKIP_UNDER_WINE("a Windows program has no file-size limit");
  Sandbox box;
  const std::string whole = merged(box, 20000);
  const std::string old = old_file(whole.size());
  box.write("out.csv", old);
  const Outcome run = box.run(kAnswers, limited("-f 64"));
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.err, fatal(std::string("write: ") + std::strerror(EFBIG), "unit 11 named out.csv",
                           "", Lately::writing));
  EXPECT_TRUE(box.read("out.csv") == old);
  EXPECT_EQ(names_in(box), (std::vector<std::string>{"c.at2", "out.csv"}));
  // With standard error closed, the report goes nowhere, never into the file.
  Launch closed = limited("-f 64");
  closed.arguments[1] += " 2>&-";
  const Outcome silent = box.run(kAnswers, closed);
  EXPECT_TRUE(aborted(silent));
  EXPECT_EQ(silent.err, "");
  EXPECT_TRUE(box.read("out.csv") == old);
  EXPECT_EQ(names_in(box), (std::vector<std::string>{"c.at2", "out.csv"}));
}

// A call of the system made to fail (through the test builds' RECORD_IO_FAULTS): a
// failed write, rename or temporary file is reported and leaves the old file; a rename that cannot
// serve (a file bound onto a mount point) writes the file in place, whole; an allocation
// refused is reported as running out of memory.
TEST(Faults, FailedCallsAreReportedAndLeaveTheOldFile) {
  SKIP_UNDER_WINE("the environment is set by a POSIX shell");
  struct Row {
    std::string fault;
    std::string error;  // the report's first line; empty: the run succeeds
    std::string unit;
    std::string format;
  };
  auto fault = [](const char* call, int error) {
    return std::string(call) + ":1:" + std::to_string(error);
  };
  const std::string unit11 = "unit 11 named out.csv";
  const Row rows[] = {
      {fault("rename", EIO), std::string("write: ") + std::strerror(EIO), unit11, ""},
      {fault("temporary", ENOSPC), std::string("write: ") + std::strerror(ENOSPC), unit11,
       std::string(kRecordFormat)},
      {fault("write", ENOSPC), std::string("write: ") + std::strerror(ENOSPC), unit11, ""},
      {fault("rename", EBUSY), "", "", ""},
      {fault("temporary", EACCES), "", "", ""},
      {fault("allocate", 1), "memory: out of free space", "unit 6 (unnamed)", "list io"},
  };
  Sandbox box;
  const std::string whole = merged(box, 20000);
  const std::string old = old_file(whole.size() + 100000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    box.write("out.csv", old);
    Launch launch;
    launch.program = "/bin/sh";
    launch.arguments = {"-c", "RECORD_IO_FAULTS=" + row.fault + " exec \"$0\"",
                        target().program.string()};
    const Outcome run = box.run(kAnswers, launch);
    if (row.error.empty()) {
      EXPECT_TRUE(ended_normally(run));
      EXPECT_TRUE(box.read("out.csv") == whole);
    } else {
      EXPECT_TRUE(aborted(run));
      EXPECT_EQ(run.err, fatal(row.error, row.unit, row.format, Lately::writing));
      EXPECT_TRUE(box.read("out.csv") == old);
    }
    EXPECT_EQ(names_in(box), (std::vector<std::string>{"c.at2", "out.csv"}));
  }
}

// A full file system, and an output that is a file bound onto another (a container's file
// volume: no rename can replace it), where this process may mount them (as root, given
// the capability); the file-size limit and the faults above stand in for them elsewhere.
TEST(Faults, AFullFileSystemLeavesTheOldFileAndABoundFileIsWrittenInPlace) {
  SKIP_UNDER_WINE("mounts are Linux's");
  Sandbox box;
  const std::string whole = merged(box, 20000);
  const std::filesystem::path small = box.path("small");
  std::filesystem::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "no mount here: " << std::strerror(errno);
  }
  // Room for the old file, not for the new one beside it.
  box.write("small/out.csv", old_file(500000));
  std::filesystem::copy_file(box.path("c.at2"), box.path("small/c.at2"));
  const Outcome full = box.run("small/c.at2\nsmall/c.at2\nsmall/c.at2\nsmall/out.csv\n");
  EXPECT_TRUE(aborted(full));
  EXPECT_EQ(full.err, fatal(std::string("write: ") + std::strerror(ENOSPC),
                            "unit 11 named small/out.csv", "", Lately::writing));
  EXPECT_TRUE(box.read("small/out.csv") == old_file(500000));
  ::umount(small.c_str());

  box.write("volume.csv", old_file(whole.size() * 2));
  box.write("out.csv", "");
  ASSERT_EQ(::mount(box.path("volume.csv").c_str(), box.path("out.csv").c_str(), nullptr, MS_BIND,
                    nullptr),
            0);
  EXPECT_TRUE(ended_normally(box.run(kAnswers)));
  ::umount(box.path("out.csv").c_str());
  EXPECT_TRUE(box.read("volume.csv") == whole);
  EXPECT_EQ(names_in(box), (std::vector<std::string>{"c.at2", "out.csv", "small", "volume.csv"}));
}

// The output that is standard output's own file follows the dialogue there, in order,
// whichever way standard output was opened.
TEST(Faults, AnOutputThatIsStandardOutputsFileFollowsTheDialogue) {
  SKIP_UNDER_WINE("the shell's redirections are POSIX");
  Sandbox box;
  const std::string whole = merged(box, 3000);
  const std::string dialogue = box.run(kAnswers).out;
  const std::string answers = "c.at2\nc.at2\nc.at2\n/dev/stdout\n";
  struct Row {
    const char* redirection;
    std::string before;  // what the file held
    std::string after;   // what it must hold
  };
  const Row rows[] = {{">", "old\n", dialogue + whole},
                      {">>", "old\n", "old\n" + dialogue + whole},
                      // Written from its start, over all it held (it held less).
                      {"1<>", std::string(100000, 'o'), dialogue + whole}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.redirection);
    box.write("log.txt", row.before);
    Launch launch;
    launch.program = "/bin/sh";
    launch.arguments = {"-c", std::string("exec \"$0\" ") + row.redirection + " log.txt",
                        target().program.string()};
    EXPECT_TRUE(ended_normally(box.run(answers, launch)));
    EXPECT_TRUE(box.read("log.txt") == row.after) << box.read("log.txt").size() << " bytes";
  }
  // Its records failing to get out are the file's failure, reported.
  Launch limited_log = limited("-f 64");
  limited_log.arguments[1] += " > log.txt";
  const Outcome run = box.run(answers, limited_log);
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.err, fatal(std::string("write: ") + std::strerror(EFBIG),
                           "unit 11 named /dev/stdout", "", Lately::writing));
}

// A file that may be written but not read is a valid output.
TEST(Faults, AWriteOnlyOutputIsWritten) {
  SKIP_UNDER_WINE("file modes are POSIX");
  Sandbox box;
  const std::string whole = merged(box, 3000);
  box.write("out.csv", "old\n");
  std::filesystem::permissions(box.path("out.csv"), std::filesystem::perms::owner_write |
                                                        std::filesystem::perms::group_write |
                                                        std::filesystem::perms::others_write);
  Launch launch;
  launch.unprivileged = true;
  const Outcome run = box.run(kAnswers, launch);
  EXPECT_TRUE(ended_normally(run)) << run.err;
  EXPECT_TRUE(box.read("out.csv") == whole);
  EXPECT_EQ(
      std::filesystem::status(box.path("out.csv")).permissions() & std::filesystem::perms::all,
      std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
          std::filesystem::perms::others_write);
}

TEST(Faults, ASecondRunWritingTheSameFileWaitsForTheFirst) {
  SKIP_UNDER_WINE("Wine's locks are its own, not those of a POSIX process");
  Sandbox box;
  const std::string whole = merged(box, 200000);
  // A lock held by another writer: the run waits, the file untouched, until it goes.
  box.write("out.csv", "held by another writer\n");
  const int held = ::open(box.path("out.csv").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  ASSERT_EQ(::fcntl(held, F_SETLK, &lock), 0);
  {
    Process waiting(box.dir(), {});
    waiting.feed(kAnswers);
    ASSERT_TRUE(waiting.wait_until_blocked(milliseconds(5000)));
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(box.read("out.csv"), "held by another writer\n");
    ::close(held);
    EXPECT_TRUE(ended_normally(waiting.finish()));
    EXPECT_EQ(box.read("out.csv"), whole);
  }
}

TEST(Faults, TwoRunsWritingTheSameFileAtOnceGiveOneWholeResult) {
  Sandbox box;
  const std::string whole = merged(box, 200000);
  box.write("out.csv", old_file(whole.size() * 2));
  Process first(box.dir(), {});
  Process second(box.dir(), {});
  first.feed(kAnswers);
  second.feed(kAnswers);
  EXPECT_TRUE(ended_normally(first.finish()));
  EXPECT_TRUE(ended_normally(second.finish()));
  EXPECT_EQ(box.read("out.csv"), whole);
}

// Opens the FIFO at `path` as `flags` (O_RDONLY or O_WRONLY) once the program opens its other
// end, in a thread of its own, and hands the descriptor to `use`. Join with done_with_fifo.
std::thread at_fifo(std::filesystem::path path, int flags, std::function<void(int)> use) {
  return std::thread([path, flags, use] {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);  // waits for the other end
    if (fd < 0) return;
    use(fd);
    ::close(fd);
  });
}

// Ends the thread of at_fifo, also when the program never opened the FIFO.
void done_with_fifo(std::thread& thread, const std::filesystem::path& path, int flags) {
  const int other = ::open(path.c_str(), (flags == O_RDONLY ? O_WRONLY : O_RDONLY) | O_NONBLOCK);
  thread.join();
  if (other >= 0) ::close(other);
}

TEST(Faults, AReaderThatGoesAwayIsAReportedFailureForAFifoAndNoneForStandardOutput) {
  SKIP_UNDER_WINE("Windows has no FIFOs, and the shell pipeline is POSIX");
  Sandbox box;
  const std::string whole = merged(box, 33000);
  ASSERT_EQ(::mkfifo(box.path("out.fifo").c_str(), 0600), 0);
  std::thread reader = at_fifo(box.path("out.fifo"), O_RDONLY, [](int fd) {
    char some[1000];
    (void)::read(fd, some, sizeof some);
  });
  const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.fifo\n");
  done_with_fifo(reader, box.path("out.fifo"), O_RDONLY);
  EXPECT_FALSE(run.timed_out);
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.err, fatal(std::string("write: ") + std::strerror(EPIPE), "unit 11 named out.fifo",
                           "", Lately::writing));

  // Standard output read by nobody: the merge goes on to the end.
  std::filesystem::remove(box.path("out.csv"));
  Launch launch;
  launch.program = "/bin/sh";
  launch.arguments = {"-c", "{ \"$0\"; echo \"status $?\" >&2; } | { exec 0<&-; sleep 1; }",
                      target().program.string()};
  const Outcome piped = box.run(kAnswers, launch);
  EXPECT_EQ(piped.err, "status 0\n");
  EXPECT_EQ(box.read("out.csv"), whole);
}

TEST(Faults, LinesOfAnyLengthRunInTheMemoryOfShortOnes) {
  SKIP_UNDER_WINE("Wine's own address space is larger than the limit");
#ifdef PEER_E2E_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  // Each row: a component given through a FIFO, as large as it likes, and a short file that
  // must give the same run.
  struct Row {
    const char* what;
    std::function<void(int fd)> write_long;
    std::string short_file;
  };
  constexpr std::size_t mib = 1024 * 1024;
  const std::string titles = "T1\nT2\nT3\n";
  const std::string head = titles + header(5, ".01000") + "\n";
  auto put = [](int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::write(fd, bytes.data(), bytes.size());
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  };
  auto repeated = [put](int fd, const std::string& unit, std::size_t bytes) {
    std::string block;
    while (block.size() < mib) block += unit;
    for (std::size_t done = 0; done < bytes && put(fd, block); done += block.size()) {
    }
  };
  std::string values;
  for (int k = 0; k < 6; ++k) values += "  0.1000";
  const Row rows[] = {
      {"a 200 MB data line without a line feed",
       [&](int fd) {
         put(fd, head);
         repeated(fd, "  0.1000", 200 * mib);
       },
       head + values},
      {"1 GB of blanks before the values",
       [&](int fd) {
         put(fd, head);
         repeated(fd, " ", 1024 * mib);
         put(fd, " 1 2 3 4 5\n");
       },
       head + " 1 2 3 4 5\n"},
      {"a 100 MB title line",
       [&](int fd) {
         repeated(fd, "X", 100 * mib);
         put(fd, "\nT2\nT3\n" + header(5, ".01000") + "\n1 2 3 4 5\n");
       },
       std::string(80, 'X') + "\nT2\nT3\n" + header(5, ".01000") + "\n1 2 3 4 5\n"},
  };
  Sandbox box;
  box.write("small.at2", head + "1 2 3 4 5\n");
  ASSERT_EQ(::mkfifo(box.path("long.at2").c_str(), 0600), 0);
  const Launch launch = limited("-v 16384");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::thread writer = at_fifo(box.path("long.at2"), O_WRONLY, row.write_long);
    const Outcome long_run = box.run("long.at2\nsmall.at2\nsmall.at2\nout.csv\n", launch);
    done_with_fifo(writer, box.path("long.at2"), O_WRONLY);
    const std::string long_csv = box.read("out.csv");
    box.write("short.at2", row.short_file);
    const Outcome short_run = box.run("short.at2\nsmall.at2\nsmall.at2\nout.csv\n", launch);
    EXPECT_TRUE(ended_normally(short_run));
    EXPECT_EQ(long_run.exit_status, short_run.exit_status);
    EXPECT_EQ(long_run.err, short_run.err);
    EXPECT_EQ(long_run.out, short_run.out);
    EXPECT_EQ(long_csv, box.read("out.csv"));
  }
  // A name longer than any a file opens by is refused, whatever its length.
  const std::string name(100 * mib, 'n');
  const Outcome run = box.run(name + "\nsmall.at2\nsmall.at2\nout.csv\n", launch);
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            std::string("open: ") + std::strerror(ENAMETOOLONG));
}

}  // namespace
}  // namespace e2e
