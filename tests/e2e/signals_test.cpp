// Interrupt and termination signals while the program waits for a file name.
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

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

TEST(Signals, InterruptIgnoredAtStartStaysIgnored) {
  SKIP_UNDER_WINE();
  Sandbox box;
  Launch launch;
  launch.ignore_sigint = true;
  Process process(box.dir(), launch);
  ASSERT_TRUE(process.wait_until_blocked(milliseconds(5000)));
  process.send(SIGINT);
  std::this_thread::sleep_for(milliseconds(100));
  // Still waiting for the first name: ending its input now is the only thing that stops it.
  const Outcome run = process.finish();
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.out, kFirstPrompt);
  EXPECT_EQ(run.err, fatal("fmt: end of file", "unit 5 (unnamed)", kNameFormat, Lately::reading));
}

}  // namespace
}  // namespace e2e
