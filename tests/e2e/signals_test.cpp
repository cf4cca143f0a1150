// Interrupt and termination signals while the program waits for a file name.
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

using std::chrono::milliseconds;

// Wine hands no signal sent to its process from outside to a Windows program's handlers.
#define SKIP_UNDER_WINE()                                             \
  if (target().windows)                                               \
  GTEST_SKIP() << "Wine does not pass a signal sent from outside to " \
                  "the Windows program"

const std::string kFirstPrompt =
    " Program for Reading PEER-Type Strong Motion Data\n\n Enter 1st File Name of 3 Components\n";

TEST(Signals, SignalAtPromptWritesItsMessageAndPendingOutput) {
  SKIP_UNDER_WINE();
  struct Row {
    int signal_number;
    const char* message;
    bool aborts;  // otherwise status 1
  };
  const Row rows[] = {{SIGINT, "Interrupt\n", false},
                      {SIGTERM, "Killed\n", false},
                      {SIGFPE, "Floating Exception\n", true},
                      {SIGABRT, "IOT Trap\n", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    Sandbox box;
    Launch launch;
    launch.allow_core = true;
    Process process(box.dir(), launch);
    ASSERT_TRUE(process.wait_until_blocked(milliseconds(5000)));
    process.send(row.signal_number);
    const Outcome run = process.finish();
    if (row.aborts) {
      EXPECT_TRUE(aborted(run));
    } else {
      EXPECT_EQ(run.signal, 0);
      EXPECT_EQ(run.exit_status, 1);
    }
    EXPECT_EQ(run.err, row.message);
    EXPECT_EQ(run.out, kFirstPrompt);
    // A floating-point exception is a crash and may leave a core file; the others do not.
    if (row.signal_number != SIGFPE) {
      EXPECT_FALSE(run.core_dumped);
    }
  }
}

// Every other signal whose default action ends a process ends it so, silently, once the
// pending output is written; the broken-pipe and file-size signals are ignored (a write
// they would end fails instead).
TEST(Signals, EveryOtherEndingSignalEndsTheRunAsItsDefaultDoesAfterThePendingOutput) {
  SKIP_UNDER_WINE();
  std::vector<int> ending = {SIGHUP,  SIGQUIT,  SIGILL,       SIGTRAP, SIGBUS,    SIGSEGV,
                             SIGUSR1, SIGUSR2,  SIGALRM,      SIGXCPU, SIGVTALRM, SIGPROF,
                             SIGSYS,  SIGRTMIN, SIGRTMIN + 1, SIGRTMAX};
#ifdef SIGSTKFLT
  ending.push_back(SIGSTKFLT);
#endif
#ifdef SIGPWR
  ending.push_back(SIGPWR);
#endif
#ifdef SIGPOLL
  ending.push_back(SIGPOLL);
#endif
  const std::string end_of_input =
      fatal("fmt: end of file", "unit 5 (unnamed)", kNameFormat, Lately::reading);
  for (const int number : ending) {
    SCOPED_TRACE(number);
#ifdef PEER_E2E_SANITIZED
    // AddressSanitizer handles the memory faults itself (its report, then its own end),
    // and a handler that was there before the program's is left alone.
    if (number == SIGBUS || number == SIGSEGV) continue;
#endif
    Sandbox box;
    Process process(box.dir(), {});
    ASSERT_TRUE(process.wait_until_blocked(milliseconds(5000)));
    process.send(number);
    const Outcome run = process.finish();
    EXPECT_EQ(run.signal, number);
    EXPECT_FALSE(run.core_dumped);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, kFirstPrompt);
  }
  for (const int number : {SIGPIPE, SIGXFSZ}) {
    SCOPED_TRACE(number);
    Sandbox box;
    Process process(box.dir(), {});
    ASSERT_TRUE(process.wait_until_blocked(milliseconds(5000)));
    process.send(number);
    std::this_thread::sleep_for(milliseconds(50));
    const Outcome run = process.finish();
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.err, end_of_input);
  }
}

// A signal ignored as the process starts (a background job's interrupt, nohup's hangup, a
// caller's choice) stays ignored; but the termination signal, whose message the run owes.
TEST(Signals, SignalsIgnoredAtStartStayIgnoredButTermination) {
  SKIP_UNDER_WINE();
  struct Row {
    const char* name;  // as the shell's trap names it
    int number;
  };
  const Row rows[] = {{"INT", SIGINT},   {"HUP", SIGHUP},   {"QUIT", SIGQUIT},
                      {"USR1", SIGUSR1}, {"ALRM", SIGALRM}, {"TERM", SIGTERM}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Sandbox box;
    Launch launch;
    launch.ignore_sigint = row.number == SIGINT;
    if (row.number != SIGINT) {
      launch.program = "/bin/sh";
      launch.arguments = {"-c", std::string("trap '' ") + row.name + "; exec \"$0\"",
                          target().program.string()};
    }
    Process process(box.dir(), launch);
    ASSERT_TRUE(process.wait_until_blocked(milliseconds(5000)));
    process.send(row.number);
    std::this_thread::sleep_for(milliseconds(100));
    const Outcome run = process.finish();
    EXPECT_EQ(run.out, kFirstPrompt);
    if (row.number == SIGTERM) {
      EXPECT_EQ(run.exit_status, 1);
      EXPECT_EQ(run.err, "Killed\n");
    } else {
      // Still waiting for the first name: ending its input is what stops it.
      EXPECT_TRUE(aborted(run));
      EXPECT_EQ(run.err,
                fatal("fmt: end of file", "unit 5 (unnamed)", kNameFormat, Lately::reading));
    }
  }
}

}  // namespace
}  // namespace e2e
