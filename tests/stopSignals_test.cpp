// stopSignals_test.cpp — a stop signal is only noted when it comes and ends the game at the next
// tick with its own status; a second one before that ends it at once.
#include "stopSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
struct Case {
    const char* name;
    int signal;
    int status;
};
const Case CASES[] = {{"SIGINT", SIGINT, 130}, {"SIGTERM", SIGTERM, 143}};

// Each case runs in a child of its own (EXPECT_EXIT forks): the handlers and the note are
// process-wide and a note cannot be taken back.
TEST(StopSignals, ASignalIsNotedAndEndsTheGameAtTheNextTickWithItsStatus) {
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(stopStatus(c.signal), c.status);
        EXPECT_EXIT(
            {
                catchStopSignals();
                endIfStopSignalled();   // nothing noted yet: carries on
                std::raise(c.signal);
                // Still here: the handler only noted it.
                if (pendingStopSignal() != c.signal) std::_Exit(1);
                std::atexit([] { std::fputs("closed in order", stderr); });
                endIfStopSignalled();
                std::_Exit(2);
            },
            ::testing::ExitedWithCode(c.status), "closed in order");
    }
}

TEST(StopSignals, ASecondSignalBeforeTheTickEndsAtOnceWithTheFirstOnesStatus) {
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                catchStopSignals();
                std::atexit([] { std::fputs("exit handlers ran", stderr); });
                std::raise(c.signal);
                std::raise(c.signal == SIGINT ? SIGTERM : SIGINT);
                std::_Exit(2);
            },
            ::testing::ExitedWithCode(c.status), "^$");
    }
}

TEST(StopSignals, NothingIsPendingUntilASignalComes) {
    EXPECT_EQ(pendingStopSignal(), 0);
    endIfStopSignalled();   // returns: the test goes on
}
}  // namespace
