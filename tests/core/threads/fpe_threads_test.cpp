#include <gtest/gtest.h>
#include <setjmp.h>

#include <csignal>
#include <thread>

#include "interface/error.h"

namespace {

volatile int zero = 0;
volatile int quotient = 0;

// The hardware division fault itself, not the sanitizer's report of it; both
// operands are read at run time, so the compiler cannot fold the division.
__attribute__((noinline, no_sanitize("undefined"))) void divideByZero(int a) {
    volatile int numerator = a;
    quotient = numerator / zero;
}

// True when the fault came back to the jump point of this thread.
bool faultReturnsToTheJumpPoint() {
    sigjmp_buf point;
    if (sigsetjmp(point, 1) != 0) {
        Error_::setFPEJumpPoint(nullptr);
        return true;
    }
    Error_::setFPEJumpPoint(&point);
    divideByZero(1);
    Error_::setFPEJumpPoint(nullptr);
    return false;
}

// Faults `faults` times on a thread with a jump point; counts the returns.
int faultsCaughtOnAThread(int faults) {
    int caught = 0;
    std::thread worker([&caught, faults] {
        for (int k = 0; k < faults; ++k) caught += faultReturnsToTheJumpPoint();
    });
    worker.join();
    return caught;
}

TEST(FloatingPointExceptionThreads, AFaultReturnsToTheJumpPointOfItsThread) {
    Error_::enableSIGFPE();
    Error_::enableSIGFPE();
    // The signal is unblocked again after each return: every fault is caught.
    EXPECT_EQ(faultsCaughtOnAThread(3), 3);
    EXPECT_EQ(faultsCaughtOnAThread(1), 1);
}

TEST(FloatingPointExceptionThreads, AFaultElsewhereEndsTheProcessAsUsual) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Error_::enableSIGFPE();
            divideByZero(1);
        },
        testing::KilledBySignal(SIGFPE), "");
}

}  // namespace
