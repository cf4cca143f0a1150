// Runs one command once and reports its wall time and peak memory.
//
//   launch IN OUT COMMAND [ARG...]
//
// Standard input comes from the file IN, standard output goes to the file OUT (created or
// emptied; /dev/null works for either). Prints "WALL_NS MAXRSS_KIB EXIT" on one line: the
// time from just before the fork to the reaping of the child, the child's peak resident
// set, and its exit status (128 + signal when a signal ended it). Exits 1 when the command
// did not end with status 0.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

long long now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: launch IN OUT COMMAND [ARG...]\n");
    return 2;
  }
  int in = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) {
    std::perror("launch: open");
    return 2;
  }
  long long start = now_ns();
  pid_t child = ::fork();
  if (child < 0) {
    std::perror("launch: fork");
    return 2;
  }
  if (child == 0) {
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::execvp(argv[3], argv + 3);
    std::perror("launch: exec");
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) < 0) {
    std::perror("launch: wait4");
    return 2;
  }
  long long wall = now_ns() - start;
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%lld %ld %d\n", wall, usage.ru_maxrss, code);
  return code == 0 ? 0 : 1;
}
