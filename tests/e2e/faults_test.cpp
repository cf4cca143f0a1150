// Every way a run can end leaves either the old file or whole new records, and memory
// stays the buffers' whatever the input: signals while the combined file is written, a
// file-size limit, a second writer, readers that go away, lines of hundreds of megabytes.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
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

std::size_t file_size(const Sandbox& box, std::string_view name) {
  std::error_code error;
  auto size = std::filesystem::file_size(box.path(name), error);
  return error ? 0 : static_cast<std::size_t>(size);
}

// What a file cut short must hold: the first records of the whole result, nothing else.
testing::AssertionResult whole_records_of(const std::string& file, const std::string& whole) {
  if (file.size() % 41 != 0) return testing::AssertionFailure() << file.size() << " bytes";
  if (whole.compare(0, file.size(), file) != 0) {
    return testing::AssertionFailure() << "not the first records of the whole result";
  }
  return testing::AssertionSuccess();
}

// The merge of c.at2 (n points) into out.csv, run once without trouble.
std::string merged(const Sandbox& box, int n) {
  box.write("c.at2", component_of(n));
  const Outcome run = box.run(kAnswers);
  EXPECT_TRUE(ended_normally(run));
  return box.read("out.csv");
}

TEST(Faults, SignalWhileTheFileIsWrittenLeavesOnlyWholeNewRecords) {
  SKIP_UNDER_WINE("Wine does not pass a signal sent from outside to the Windows program");
  struct Row {
    int signal_number;
    int exit_status;  // -1: ended by the signal itself
    const char* message;
  };
  const Row rows[] = {{SIGHUP, -1, ""},
                      {SIGQUIT, -1, ""},
                      {SIGUSR1, -1, ""},
                      {SIGTERM, 1, "Killed\n"},
                      {SIGINT, 1, "Interrupt\n"}};
  Sandbox box;
  const std::string whole = merged(box, 400000);
  const std::string old = old_file(whole.size() + 1000000);
  for (const Row& row : rows) {
    SCOPED_TRACE(strsignal(row.signal_number));
    Outcome run;
    bool caught_writing = false;
    for (int attempt = 0; attempt < 5 && !caught_writing; ++attempt) {
      box.write("out.csv", old);
      Process process(box.dir(), {});
      process.feed(kAnswers);
      // Once the new records have begun, the program is stopped, then signalled.
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      std::size_t size = old.size();
      while ((size == 0 || size >= old.size()) && std::chrono::steady_clock::now() < until) {
        size = file_size(box, "out.csv");
      }
      process.send(SIGSTOP);
      for (int k = 0; k < 100 && !process.stopped(); ++k)
        std::this_thread::sleep_for(milliseconds(2));
      caught_writing = process.stopped();
      if (caught_writing) {
        process.send(row.signal_number);
        process.send(SIGCONT);
      }
      run = process.finish();
    }
    ASSERT_TRUE(caught_writing) << "the run always ended before it could be stopped";
    if (row.exit_status < 0) {
      EXPECT_EQ(run.signal, row.signal_number);
      EXPECT_FALSE(run.core_dumped);
    } else {
      EXPECT_EQ(run.exit_status, row.exit_status);
    }
    EXPECT_EQ(run.err, row.message);
    const std::string file = box.read("out.csv");
    EXPECT_LT(file.size(), whole.size());
    EXPECT_TRUE(whole_records_of(file, whole));
  }
}

// Runs peer-merge under `limit` (a ulimit option and value) given by a shell.
Launch limited(std::string limit) {
  Launch launch;
  launch.program = "/bin/sh";
  launch.arguments = {"-c", "ulimit " + limit + " && exec \"$0\"", target().program.string()};
  return launch;
}

TEST(Faults, AFileSizeLimitIsAReportedWriteFailure) {
  SKIP_UNDER_WINE("a Windows program has no file-size limit");
  Sandbox box;
  const std::string whole = merged(box, 20000);
  box.write("out.csv", old_file(whole.size()));
  const Outcome run = box.run(kAnswers, limited("-f 64"));
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.err, fatal(std::string("write: ") + std::strerror(EFBIG), "unit 11 named out.csv",
                           "", Lately::writing));
  const std::string file = box.read("out.csv");
  EXPECT_GT(file.size(), 0U);
  EXPECT_TRUE(whole_records_of(file, whole));
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
