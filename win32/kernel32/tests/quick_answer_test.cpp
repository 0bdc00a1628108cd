// Answers that come while the waiter may still watch: none lost, none taken twice.
#include <thread>
#include "kernel_test.h"
#include <gtest/gtest.h>

TEST(QuickAnswer, EachReleaseAndEachSetIsTakenExactlyOnce) {
    Handle ask(CreateSemaphoreW(nullptr, 0, 2, nullptr)), done(CreateEventW(0, 0, 0, nullptr));
    int rounds = 20000, answered = 0;
    std::thread echo([&] {
        for (int i = 0; i < rounds && !WaitForSingleObject(ask.get(), 9000); ++i)
            SetEvent(done.get());
    });
    while (answered < rounds && ReleaseSemaphore(ask.get(), 1, nullptr) &&
           !WaitForSingleObject(done.get(), 9000))
        ++answered;
    echo.join();
    EXPECT_EQ(rounds, answered);
}
