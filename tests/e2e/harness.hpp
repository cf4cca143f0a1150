// Runs a built program (peer-merge unless told otherwise) as a child process in a scratch
// directory, with its standard streams connected to pipes, and reports what it wrote and
// how it ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace e2e {

// The build under test. By default the Linux build these tests belong to; the environment
// can name another one:
//   PEER_E2E_PROGRAM  the peer-merge to run; a name ending in ".exe" is a Windows build,
//                     run under Wine (PEER_E2E_WINE names the command, "wine" by default).
struct Target {
  std::filesystem::path program;  // peer-merge
  std::filesystem::path bin_dir;  // where the other programs of that build are
  bool windows = false;           // records end with CR LF; an abnormal end is status 3
  std::string wine;               // the command that runs a Windows program
};
const Target& target();

// The path of a program of the build under test: "peer-merge", "peer-normalize", ...
std::filesystem::path program_path(std::string_view name);

// Everything observable about one finished run.
struct Outcome {
  std::string out;           // bytes written to standard output
  std::string err;           // bytes written to standard error
  int exit_status = -1;      // status passed to exit, or -1 when the process did not exit
  int signal = 0;            // signal that killed the process, or 0
  bool core_dumped = false;  // the system wrote a core file for it
  bool timed_out = false;    // the run outlived its deadline and was killed by the harness
};

// How the child is started.
struct Launch {
  // The program to run; empty: the peer-merge under test.
  std::filesystem::path program;
  std::vector<std::string> arguments;
  // Start with SIGINT ignored, as a shell does for a background job.
  bool ignore_sigint = false;
  // When the tests run as root, run the program as an unprivileged user so that file modes
  // are enforced (the scratch directory is opened up for it).
  bool unprivileged = false;
  // Let the program leave a core file when it crashes (otherwise the core-file limit is
  // zero).
  bool allow_core = false;
  // A run still going after this long is killed and reported as timed out.
  std::chrono::milliseconds timeout{60'000};
};

// A started program. Standard input stays open until close_input() or finish().
class Process {
 public:
  Process(const std::filesystem::path& workdir, const Launch& launch);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Writes bytes to the program's standard input.
  void feed(std::string_view bytes);
  void close_input();
  void send(int signal_number) const;
  // The program is stopped (by SIGSTOP), not running and not ended.
  bool stopped() const;
  // Waits until the program has installed its termination handler and sleeps in a system
  // call (that is, waits for input). Returns false if that did not happen within `limit`.
  bool wait_until_blocked(std::chrono::milliseconds limit) const;
  // Closes standard input, collects all output and reaps the process. For a Windows
  // build, each line end of the output must be CR LF (a test failure otherwise), and is
  // given back as a bare line feed, so that expectations are the same for every build.
  Outcome finish();

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::chrono::steady_clock::time_point deadline_;
};

// A fresh temporary working directory, removed with everything in it at the end.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path path(std::string_view name) const { return dir_ / name; }
  void write(std::string_view name, std::string_view bytes) const;
  std::string read(std::string_view name) const;
  // A text file the program wrote: for a Windows build its CR LF line ends are checked and
  // given back as line feeds, as finish() does for the standard streams.
  std::string read_output(std::string_view name) const;
  bool exists(std::string_view name) const;

  // Runs the program here with `input` as its whole standard input. Under Wine, a run that
  // ends with status 1 having written nothing at all is run again (twice at most): that is
  // Wine failing to start the program now and then under load ("failed to map the shared
  // user data", hidden by WINEDEBUG=-all); neither program ends so while its standard
  // streams can be written.
  Outcome run(std::string_view input, const Launch& launch = {}) const;

 private:
  std::filesystem::path dir_;
};

// The folder of real records the build was configured with (the cache variable
// PEER_REALDATA_DIR), which may be empty or absent.
const std::filesystem::path& realdata_dir();

// Tests on the real records: skipped, with the reason and the variable to set, where the
// folder is absent.
class RealDataTest : public testing::Test {
 protected:
  void SetUp() override;
};

// Reads a whole file as bytes; fails the calling test if it cannot be read.
std::string read_file(const std::filesystem::path& path);

// Text written by the build under test, with its line ends made line feeds: for a Windows
// build every line feed must follow a carriage return (a test failure names `what`
// otherwise), and that carriage return is dropped.
std::string from_native_lines(std::string text, std::string_view what);

}  // namespace e2e
