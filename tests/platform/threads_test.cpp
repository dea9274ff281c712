#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/clock.h"

using namespace plat;

TEST(Events, AutoResetReleasesOneWaitAndKeepsAnEarlySignal)
{
    Event e(false, false);
    e.Set(); // set before anyone waits: not lost
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(10)); // consumed
    Event manual(true, false);
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(0));
}

TEST(Threads, StopIsCooperativeAndWakesAWaitingBody)
{
    Event wake;
    std::atomic<bool> waiting{false};
    std::atomic<bool> returned{false};
    Thread t;
    t.SetWakeHandler([&] { wake.Set(); });
    ASSERT_TRUE(t.Start([&](Thread& self) {
        waiting = true;
        while (!self.StopRequested())
            wake.Wait();
        returned = true;
    }));
    while (!waiting)
        SleepMs(1);
    EXPECT_FALSE(t.Start([](Thread&) {}));
    t.Join();
    EXPECT_FALSE(t.Running());
    EXPECT_TRUE(returned.load());
}

TEST(CriticalSections, AreRecursive)
{
    CriticalSection cs;
    cs.Enter();
    EXPECT_TRUE(cs.TryEnter());
    cs.Leave();
    cs.Leave();
}

TEST(Clock, TicksAdvanceAndDateIsSane)
{
    const auto t0 = GetTickCountMs();
    SleepMs(5);
    EXPECT_GE(GetTickCountMs() - t0, 4u);
    const DateTime d = GetLocalDateTime();
    EXPECT_GE(d.year, 2000);
    EXPECT_TRUE(d.month >= 1 && d.month <= 12);
    EXPECT_GT(QueryPerfFrequency(), 0);
}
