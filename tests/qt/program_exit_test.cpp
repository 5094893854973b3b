#include "qt/program_exit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace voltaro {
namespace {

using namespace std::chrono_literals;

// However the process is stuck after the program has ended (here the main thread sleeps, as
// Qt's teardown may block for ever), it is gone with the program's status soon after the grace.
TEST(ProgramExitDeathTest, TheWatchdogEndsAStuckProcessWithTheProgramsStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            ProgramExit::armWatchdog(3, 200ms);
            std::this_thread::sleep_for(30s);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST(ProgramExitDeathTest, LeavingNowKeepsWhatWasPrinted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static char buffer[256];
            std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);  // held until flushed
            std::fputs("the last line\n", stderr);
            ProgramExit::now(0);
        },
        testing::ExitedWithCode(0), "the last line");
}

}  // namespace
}  // namespace voltaro
