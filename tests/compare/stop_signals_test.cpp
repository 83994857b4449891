#include "process/stop_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

namespace sorowa {
namespace {

// The handlers are process-wide, so each case runs in a child. The first stop signal is only
// noted (and written to the pipe a window watches); the second, of any of the three, finds
// the default action back and ends the program at once.
TEST(StopSignalsDeathTest, FirstSignalIsNotedAndASecondEndsTheProgram) {
  for (const int first : {SIGINT, SIGTERM, SIGHUP}) {
    for (const int second : {SIGINT, SIGTERM, SIGHUP}) {
      EXPECT_EXIT(
          {
            int pipe[2];
            if (::pipe(pipe) != 0) ::_exit(3);
            InstallStopSignalHandlers(pipe[1]);
            if (StopSignal() != 0) ::_exit(4);
            ::raise(first);
            char byte = 0;
            if (StopSignal() != first || ::read(pipe[0], &byte, 1) != 1 || byte != first) {
              ::_exit(5);
            }
            ::raise(second);
            ::_exit(6);
          },
          testing::KilledBySignal(second), "")
          << "first " << first << ", second " << second;
    }
  }
}

}  // namespace
}  // namespace sorowa
