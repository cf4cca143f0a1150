#include "harness.hpp"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uid_t kNobody = 65534;

[[noreturn]] void fail_system(const char* what) {
  throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// A write to a program that already ended must not kill the test process.
void ignore_sigpipe_once() {
  static const bool done = [] {
    ::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)done;
}

// The command line that runs `program`: under Wine for a Windows build.
std::vector<std::string> command_line(const Launch& launch) {
  const Target& t = target();
  std::vector<std::string> args;
  if (t.windows) args.push_back(t.wine);
  args.push_back((launch.program.empty() ? t.program : launch.program).string());
  args.insert(args.end(), launch.arguments.begin(), launch.arguments.end());
  return args;
}

// Child side between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_child(const char* workdir, int in, int out, int err, const Launch& launch,
                             bool drop_root, char* const* argv) {
  const rlimit core{launch.allow_core ? RLIM_INFINITY : 0, launch.allow_core ? RLIM_INFINITY : 0};
  ::setrlimit(RLIMIT_CORE, &core);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  for (int number : {SIGTERM, SIGHUP, SIGQUIT, SIGUSR1}) ::signal(number, SIG_DFL);
  ::signal(SIGINT, launch.ignore_sigint ? SIG_IGN : SIG_DFL);
  if (::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
      ::dup2(err, STDERR_FILENO) < 0 || ::chdir(workdir) != 0) {
    ::_exit(126);
  }
  if (drop_root &&
      (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
    ::_exit(126);
  }
  ::execve(argv[0], argv, environ);
  ::_exit(127);
}

// The first executable file called `name` on the PATH, or name itself.
std::string find_on_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return name;
}

}  // namespace

const Target& target() {
  static const Target t = [] {
    Target made;
    const char* program = std::getenv("PEER_E2E_PROGRAM");
    made.program = program && *program ? program : PEER_MERGE_BIN;
    made.bin_dir = made.program.parent_path();
    made.windows = made.program.extension() == ".exe";
    if (made.windows) {
      const char* wine = std::getenv("PEER_E2E_WINE");
      made.wine = find_on_path(wine && *wine ? wine : "wine");
      // Wine's own diagnostics would mix with the program's on standard error.
      ::setenv("WINEDEBUG", "-all", 1);
      // One Wine server for all the runs, kept a minute after the last: starting one for
      // every run would cost more than the run.
      // It fails, harmlessly, when one is running already.
      if (std::system("wineserver -p60 >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "note: no new lasting Wine server (one may be running)\n");
      }
    }
    return made;
  }();
  return t;
}

const std::filesystem::path& realdata_dir() {
  static const std::filesystem::path dir = PEER_REALDATA_DIR;
  return dir;
}

void RealDataTest::SetUp() {
  const char* how = "configure with -DPEER_REALDATA_DIR=<the folder of real records> to run it";
  if (realdata_dir().empty()) {
    GTEST_SKIP() << "PEER_REALDATA_DIR is empty (no ../shared/realdata beside the source tree): "
                 << how;
  }
  if (!std::filesystem::is_directory(realdata_dir())) {
    GTEST_SKIP() << "PEER_REALDATA_DIR names " << realdata_dir() << ", not a folder: " << how;
  }
}

std::filesystem::path program_path(std::string_view name) {
  std::string file(name);
  if (target().windows) file += ".exe";
  return target().bin_dir / file;
}

std::string from_native_lines(std::string text, std::string_view what) {
  if (!target().windows) return text;
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\n') {
      if (lines.empty() || lines.back() != '\r') {
        ADD_FAILURE() << what << ": a line feed without a carriage return before it, at byte " << k;
      } else {
        lines.pop_back();
      }
    }
    lines += text[k];
  }
  return lines;
}

Process::Process(const std::filesystem::path& workdir, const Launch& launch)
    : deadline_(Clock::now() + launch.timeout) {
  ignore_sigpipe_once();
  int in[2];
  int out[2];
  int err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    fail_system("pipe2");
  }
  const bool drop_root = launch.unprivileged && ::geteuid() == 0;
  if (drop_root && ::chmod(workdir.c_str(), 0777) != 0) fail_system("chmod");
  const std::string dir = workdir.string();
  std::vector<std::string> args = command_line(launch);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) fail_system("fork");
  if (pid_ == 0) exec_child(dir.c_str(), in[0], out[1], err[1], launch, drop_root, argv.data());
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

Process::~Process() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  close_fd(in_);
  close_fd(out_);
  close_fd(err_);
}

void Process::feed(std::string_view bytes) {
  while (!bytes.empty() && in_ >= 0) {
    const ssize_t n = ::write(in_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return;  // the program no longer reads (EPIPE): the rest is simply unread
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void Process::close_input() {
  close_fd(in_);
}

void Process::send(int signal_number) const {
  ::kill(pid_, signal_number);
}

bool Process::stopped() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t paren = line.rfind(')');
  return paren != std::string::npos && line.size() > paren + 2 && line[paren + 2] == 'T';
}

bool Process::wait_until_blocked(std::chrono::milliseconds limit) const {
  const auto until = Clock::now() + limit;
  const std::string status_path = "/proc/" + std::to_string(pid_) + "/status";
  while (Clock::now() < until) {
    std::ifstream status(status_path);
    std::string line;
    bool sleeping = false;
    bool handler = false;
    while (std::getline(status, line)) {
      if (line.rfind("State:", 0) == 0) sleeping = line.find("S (sleeping)") != std::string::npos;
      if (line.rfind("SigCgt:", 0) == 0) {
        const unsigned long long caught = std::strtoull(line.c_str() + 7, nullptr, 16);
        handler = (caught >> (SIGTERM - 1)) & 1U;
      }
    }
    if (sleeping && handler) {
      // Leave the program a moment to settle into its read.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

Outcome Process::finish() {
  close_input();
  Outcome outcome;
  char buffer[65536];
  while (out_ >= 0 || err_ >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    if (left <= 0) break;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) fail_system("poll");
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      int& fd = k == 0 ? out_ : err_;
      std::string& sink = k == 0 ? outcome.out : outcome.err;
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        sink.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close_fd(fd);
      }
    }
  }
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) fail_system("waitpid");
    if (Clock::now() >= deadline_) {
      outcome.timed_out = true;
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  if (!outcome.timed_out && WIFEXITED(status)) outcome.exit_status = WEXITSTATUS(status);
  if (!outcome.timed_out && WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
    outcome.core_dumped = WCOREDUMP(status);
  }
  close_fd(out_);
  close_fd(err_);
  outcome.out = from_native_lines(std::move(outcome.out), "standard output");
  outcome.err = from_native_lines(std::move(outcome.err), "standard error");
  return outcome;
}

Sandbox::Sandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "peer-merge-e2e.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) fail_system("mkdtemp");
  dir_ = pattern;
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void Sandbox::write(std::string_view name, std::string_view bytes) const {
  std::ofstream file(path(name), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path(name).string());
}

std::string Sandbox::read(std::string_view name) const {
  return read_file(path(name));
}

std::string Sandbox::read_output(std::string_view name) const {
  return from_native_lines(read(name), name);
}

bool Sandbox::exists(std::string_view name) const {
  std::error_code ignored;
  return std::filesystem::exists(path(name), ignored);
}

Outcome Sandbox::run(std::string_view input, const Launch& launch) const {
  for (int attempt = 1;; ++attempt) {
    Process process(dir_, launch);
    process.feed(input);
    Outcome outcome = process.finish();
    const bool not_started = outcome.exit_status == 1 && outcome.out.empty() && outcome.err.empty();
    if (!target().windows || !not_started || attempt == 3) return outcome;
    std::fprintf(stderr,
                 "note: Wine ended a run with status 1 before the program wrote "
                 "anything; running it again\n");
  }
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace e2e
