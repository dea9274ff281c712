#include "core/loader_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/random_table.h"
#include "platform/threads.h"

namespace {

// The loader never looks behind these pointers; the recorder only compares them.
template <typename T>
T* Tag(std::uintptr_t id)
{
    return reinterpret_cast<T*>(id << 4);
}

constexpr std::uint32_t kLongWaitMs = 60000;

// Records what the worker runs and lets a test hold the worker inside a chosen request.
class Recorder {
public:
    struct Run {
        std::uint8_t kind;
        std::int64_t id;
    };

    TLoaderServices Services()
    {
        TLoaderServices s;
        s.loadUnitPhases = [this](TBasicUnit*, std::uint32_t work) {
            Record(kLoadUnitPhases, work);
            return true;
        };
        // Negative phase codes stand for loads that fail.
        s.loadHouseSprites = [this](CHousePhaseGraphic*, THouseType*, std::int32_t code) {
            Record(kLoadHouseSprites, code);
            return code >= 0;
        };
        s.shipPartsStep = [this](TShipData*, std::uint8_t part, std::uint8_t) { Record(kLoadShipPart, part); };
        s.sleepMs = [this](std::uint32_t ms) {
            std::lock_guard lock(m_Mutex);
            m_Sleeps.push_back(ms);
        };
        s.requestRedraw = [this] { m_Redraws.fetch_add(1); };
        return s;
    }

    // The worker stops inside the request with this id until Release(id).
    void HoldAt(std::int64_t id)
    {
        std::lock_guard lock(m_Mutex);
        auto& gate = m_Gates[id];
        gate.started = std::make_unique<plat::Event>(true, false);
        gate.release = std::make_unique<plat::Event>(true, false);
    }
    bool WaitStarted(std::int64_t id) { return Gate(id).started->Wait(kLongWaitMs); }
    void Release(std::int64_t id) { Gate(id).release->Set(); }

    std::vector<Run> Runs()
    {
        std::lock_guard lock(m_Mutex);
        return m_Runs;
    }
    std::vector<std::uint32_t> Sleeps()
    {
        std::lock_guard lock(m_Mutex);
        return m_Sleeps;
    }
    int Redraws() const { return m_Redraws.load(); }

private:
    struct GatePair {
        std::unique_ptr<plat::Event> started;
        std::unique_ptr<plat::Event> release;
    };

    GatePair& Gate(std::int64_t id)
    {
        std::lock_guard lock(m_Mutex);
        return m_Gates.at(id);
    }

    void Record(std::uint8_t kind, std::int64_t id)
    {
        GatePair* gate = nullptr;
        {
            std::lock_guard lock(m_Mutex);
            m_Runs.push_back({kind, id});
            auto it = m_Gates.find(id);
            if (it != m_Gates.end())
                gate = &it->second;
        }
        if (gate) {
            gate->started->Set();
            gate->release->Wait();
        }
    }

    std::mutex m_Mutex;
    std::vector<Run> m_Runs;
    std::vector<std::uint32_t> m_Sleeps;
    std::map<std::int64_t, GatePair> m_Gates;
    std::atomic<int> m_Redraws{0};
};

std::unique_ptr<TLoaderRequest> Unit(std::uint8_t priority, std::uint32_t work)
{
    return MakeUnitPhasesRequest(priority, Tag<TBasicUnit>(1), work);
}

std::unique_ptr<TLoaderRequest> House(std::uint8_t priority, std::int32_t code, std::uint8_t result)
{
    return MakeHouseSpritesRequest(priority, Tag<CHousePhaseGraphic>(2), Tag<THouseType>(3), code, result);
}

std::string ErrorLogText()
{
    std::ifstream in("ReportError.log", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr std::uint32_t kHeld = 100000;

} // namespace

TEST(Loader, HigherPriorityRunsFirst)
{
    Recorder rec;
    TBackgroundLoader loader(rec.Services());
    rec.HoldAt(kHeld);
    loader.Request(Unit(255, kHeld));
    ASSERT_TRUE(rec.WaitStarted(kHeld));
    loader.Request(Unit(10, 1));
    loader.Request(Unit(0, 2));
    loader.Request(Unit(10, 3));
    rec.Release(kHeld);
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));

    const auto runs = rec.Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].id, kHeld);
    EXPECT_TRUE((runs[1].id == 1 && runs[2].id == 3) || (runs[1].id == 3 && runs[2].id == 1));
    EXPECT_EQ(runs[3].id, 2);
}

TEST(Loader, ManyQueuedRequestsRunEachOnceInPriorityOrder)
{
    // Orders that exercise ties, runs of equal priorities and a hole that walks to the bottom.
    TRandomGenerator random(2024);
    std::vector<std::vector<std::uint8_t>> sequences = {
        {1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}, {5, 5, 5, 5, 5, 5, 5}, {0, 10, 0, 10, 0, 10, 10, 0}};
    std::vector<std::uint8_t> mixed;
    for (int i = 0; i < 300; ++i)
        mixed.push_back(static_cast<std::uint8_t>(random.Next() % 7));
    sequences.push_back(mixed);

    for (const auto& priorities : sequences) {
        Recorder rec;
        TBackgroundLoader loader(rec.Services());
        rec.HoldAt(kHeld);
        loader.Request(Unit(255, kHeld));
        ASSERT_TRUE(rec.WaitStarted(kHeld));
        for (std::size_t i = 0; i < priorities.size(); ++i)
            loader.Request(Unit(priorities[i], static_cast<std::uint32_t>(i)));
        EXPECT_EQ(loader.QueuedCount(), priorities.size());
        rec.Release(kHeld);
        ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));

        const auto runs = rec.Runs();
        ASSERT_EQ(runs.size(), priorities.size() + 1);
        std::vector<int> seen(priorities.size(), 0);
        for (std::size_t r = 1; r < runs.size(); ++r) {
            const auto id = static_cast<std::size_t>(runs[r].id);
            ASSERT_LT(id, priorities.size());
            ++seen[id];
            if (r > 1) {
                EXPECT_GE(priorities[static_cast<std::size_t>(runs[r - 1].id)], priorities[id]) << "run " << r;
            }
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(priorities.size()));
    }
}

TEST(Loader, BuildingResultRedrawAndThrottle)
{
    struct Case {
        const char* name;
        std::size_t waiting; // requests queued behind the building load when it finishes
        std::int32_t code;   // negative: the load fails
        std::uint8_t value;
        std::uint32_t sleep;
        int redraws;
    };
    const Case cases[] = {
        {"six waiting, visible", 6, 1, 1, kLoaderThrottleMs, 1},
        {"five waiting, hidden", 5, 1, 0, kLoaderThrottleMs, 0},
        {"four waiting, visible", 4, 1, 1, 0, 1},
        {"six waiting, failed load", 6, -1, 1, 0, 0},
    };
    for (const auto& c : cases) {
        Recorder rec;
        TBackgroundLoader loader(rec.Services());
        constexpr std::int32_t kBuilding = 7;
        constexpr std::uint32_t kNext = 200000;
        const std::int32_t code = c.code < 0 ? -kBuilding : kBuilding;
        rec.HoldAt(code);
        rec.HoldAt(kNext);
        loader.Request(House(255, code, c.value));
        ASSERT_TRUE(rec.WaitStarted(code)) << c.name;
        loader.Request(Unit(200, kNext));
        for (std::size_t i = 1; i < c.waiting; ++i)
            loader.Request(Unit(0, static_cast<std::uint32_t>(i)));
        rec.Release(code);
        // The worker has finished the building load and taken the next request.
        ASSERT_TRUE(rec.WaitStarted(kNext)) << c.name;
        EXPECT_EQ(loader.WaitingCount(), c.waiting) << c.name;

        EXPECT_EQ(loader.Poll(), c.sleep) << c.name;
        EXPECT_EQ(rec.Redraws(), c.redraws) << c.name;
        EXPECT_EQ(rec.Sleeps(), c.sleep ? std::vector<std::uint32_t>{c.sleep} : std::vector<std::uint32_t>{}) << c.name;
        EXPECT_EQ(loader.Poll(), 0u) << c.name << ": the result is taken once";

        rec.Release(kNext);
        ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs)) << c.name;
        EXPECT_EQ(loader.Throttle(), 0) << c.name;
    }
}

TEST(Loader, ALaterLoadDoesNotTakeBackAPendingRedraw)
{
    struct Case {
        const char* name;
        std::int32_t laterCode;
        std::uint8_t laterValue;
    };
    const Case cases[] = {{"hidden building", 2, 0}, {"failed load", -2, 1}};
    for (const auto& c : cases) {
        Recorder rec;
        TBackgroundLoader loader(rec.Services());
        loader.Request(House(1, 1, 1));
        ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
        loader.Request(House(1, c.laterCode, c.laterValue));
        ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
        loader.Poll();
        EXPECT_EQ(rec.Redraws(), 1) << c.name;
    }
}

TEST(Loader, StopDropsWaitingRequestsAndLetsTheRunningOneFinish)
{
    Recorder rec;
    TBackgroundLoader loader(rec.Services());
    loader.Stop(); // nothing queued: nothing happens
    EXPECT_TRUE(loader.IsIdle());

    rec.HoldAt(kHeld);
    loader.Request(Unit(1, kHeld));
    ASSERT_TRUE(rec.WaitStarted(kHeld));
    for (std::uint32_t i = 0; i < 5; ++i)
        loader.Request(Unit(9, i));
    loader.Request(House(9, 3, 1));
    loader.Request(MakeShipPartRequest(9, Tag<TShipData>(4), 1, 2));
    EXPECT_FALSE(loader.IsIdle());
    EXPECT_FALSE(loader.WaitUntilIdleFor(1));
    loader.Stop();
    EXPECT_EQ(loader.QueuedCount(), 0u);
    rec.Release(kHeld);
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    ASSERT_EQ(rec.Runs().size(), 1u);
    EXPECT_EQ(rec.Runs()[0].id, kHeld);
}

TEST(Loader, ResumeOnAnEmptyQueueKeepsTheWorkerIdle)
{
    Recorder rec;
    TBackgroundLoader loader(rec.Services());
    EXPECT_TRUE(loader.IsIdle());
    loader.Resume();
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    EXPECT_TRUE(rec.Runs().empty());
    loader.Request(MakeShipPartRequest(3, Tag<TShipData>(4), 2, 6));
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    ASSERT_EQ(rec.Runs().size(), 1u);
    EXPECT_EQ(rec.Runs()[0].kind, kLoadShipPart);
    EXPECT_EQ(rec.Runs()[0].id, 2);
}

TEST(Loader, ALoaderMayPostRequestsAndIdleWaitsForThem)
{
    Recorder rec;
    TLoaderServices services = rec.Services();
    TBackgroundLoader* self = nullptr;
    std::atomic<int> done{0};
    services.loadUnitPhases = [&](TBasicUnit*, std::uint32_t work) {
        if (work < 20)
            self->Request(Unit(1, work + 1));
        done.fetch_add(1);
        return true;
    };
    TBackgroundLoader loader(services);
    self = &loader;
    loader.Request(Unit(1, 0));
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    EXPECT_EQ(done.load(), 21);
}

TEST(Loader, RequestsWithoutTheirPayloadAreLoggedAndSkipped)
{
    Recorder rec;
    TBackgroundLoader loader(rec.Services());
    auto bare = std::make_unique<TLoaderRequest>();
    bare->kind = kLoadHouseSprites;
    loader.Request(std::move(bare));
    loader.Request(MakeUnitPhasesRequest(1, nullptr, 3));
    loader.Request(MakeShipPartRequest(1, nullptr, 1, 1));
    auto unknown = std::make_unique<TLoaderRequest>();
    unknown->kind = 7;
    loader.Request(std::move(unknown));
    loader.Request(nullptr);
    loader.Request(Unit(0, 5)); // the worker goes on
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    ASSERT_EQ(rec.Runs().size(), 1u);
    EXPECT_EQ(rec.Runs()[0].id, 5);
    loader.Poll();
    EXPECT_EQ(rec.Redraws(), 0);
    const std::string log = ErrorLogText();
    EXPECT_NE(log.find("Loader: building sprite request without a phase graphic"), std::string::npos);
    EXPECT_NE(log.find("Loader: unit phase request without a unit type"), std::string::npos);
    EXPECT_NE(log.find("Loader: ship part request without ship data"), std::string::npos);
}

TEST(Loader, ShutdownEndsTheWorkerBetweenRequestsAndDropsTheRest)
{
    Recorder rec;
    TBackgroundLoader loader(rec.Services());
    rec.HoldAt(kHeld);
    loader.Request(Unit(1, kHeld));
    ASSERT_TRUE(rec.WaitStarted(kHeld));
    loader.Request(Unit(1, 1));
    loader.Request(Unit(1, 2));
    std::thread shutdown([&] { loader.Shutdown(); });
    while (loader.QueuedCount() != 0) // the shutdown has begun and dropped the waiting requests
        std::this_thread::yield();
    rec.Release(kHeld);
    shutdown.join();
    EXPECT_TRUE(loader.IsIdle());
    loader.Request(Unit(1, 3)); // after shutdown: dropped, never run
    loader.Resume();
    EXPECT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    ASSERT_EQ(rec.Runs().size(), 1u);
    EXPECT_EQ(rec.Runs()[0].id, kHeld);
    loader.Shutdown(); // a second shutdown is harmless
}

// A request posted just as the worker runs out of work must wake it: every one of these waits
// for idle would hang if a wake-up were lost between the worker's last look at the queue and its
// sleep.
TEST(LoaderStress, RequestPostedAsTheWorkerGoesIdleIsNeverLost)
{
    Recorder rec;
    TLoaderServices services = rec.Services();
    std::atomic<int> done{0};
    services.loadUnitPhases = [&](TBasicUnit*, std::uint32_t) {
        done.fetch_add(1);
        return true;
    };
    TBackgroundLoader loader(services);
    constexpr int kRounds = 5000;
    for (int i = 0; i < kRounds; ++i) {
        loader.Request(Unit(1, static_cast<std::uint32_t>(i)));
        if (i % 2 == 0)
            std::this_thread::yield();
        ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs)) << "round " << i;
        ASSERT_EQ(done.load(), i + 1);
    }
}

TEST(LoaderStress, SeveralPostersAndAnIdleWaiter)
{
    constexpr int kPosters = 4;
    constexpr int kPerPoster = 1500;
    Recorder rec;
    TLoaderServices services = rec.Services();
    std::atomic<int> unitRuns{0};
    std::atomic<int> houseRuns{0};
    std::atomic<int> unitsPosted{0};
    std::atomic<int> housesPosted{0};
    TBackgroundLoader* self = nullptr;
    services.loadUnitPhases = [&](TBasicUnit*, std::uint32_t work) {
        // Some unit loads ask for one more, as a loader of shared graphics may.
        if (work % 100 == 1) {
            unitsPosted.fetch_add(1);
            self->Request(Unit(0, work + 1));
        }
        unitRuns.fetch_add(1);
        return true;
    };
    services.loadHouseSprites = [&](CHousePhaseGraphic*, THouseType*, std::int32_t code) {
        houseRuns.fetch_add(1);
        return code % 3 != 0;
    };
    services.sleepMs = [](std::uint32_t) {};
    TBackgroundLoader loader(services);
    self = &loader;

    std::atomic<bool> posting{true};
    std::atomic<int> idleSeen{0};
    std::thread waiter([&] {
        // Stands for the main thread: polls every frame and waits for idle now and then.
        while (posting.load()) {
            loader.Poll();
            if (loader.WaitUntilIdleFor(2))
                idleSeen.fetch_add(1);
            (void)loader.WaitingCount();
        }
    });
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
        posters.emplace_back([&, p] {
            TRandomGenerator random(static_cast<std::uint32_t>(p + 1));
            for (int i = 0; i < kPerPoster; ++i) {
                const auto priority = static_cast<std::uint8_t>(random.Next() % 16);
                if (i % 10 == 0) {
                    housesPosted.fetch_add(1);
                    loader.Request(House(priority, i, static_cast<std::uint8_t>(i & 1)));
                } else {
                    unitsPosted.fetch_add(1);
                    loader.Request(Unit(priority, static_cast<std::uint32_t>(i)));
                }
                if (random.Next() % 64 == 0)
                    std::this_thread::yield();
            }
        });
    for (auto& t : posters)
        t.join();
    ASSERT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
    posting.store(false);
    waiter.join();

    EXPECT_GT(unitsPosted.load(), kPosters * (kPerPoster - kPerPoster / 10)); // some were nested
    EXPECT_EQ(houseRuns.load(), housesPosted.load());
    EXPECT_EQ(unitRuns.load(), unitsPosted.load());
    EXPECT_EQ(loader.QueuedCount(), 0u);
    EXPECT_TRUE(loader.IsIdle());
}

TEST(LoaderStress, LoadersComeAndGoWhileBusy)
{
    // Teardown while the worker is busy or just starting must neither hang nor touch freed state.
    for (int round = 0; round < 200; ++round) {
        Recorder rec;
        TBackgroundLoader loader(rec.Services());
        for (int i = 0; i < round % 7; ++i)
            loader.Request(Unit(static_cast<std::uint8_t>(i), static_cast<std::uint32_t>(i)));
        if (round % 3 == 0)
            loader.Resume();
    }
}

TEST(Loader, EveryDroppedRequestIsToldOnceAndNeverRuns)
{
    // Requests dropped by Stop, by Shutdown, and requests made after Shutdown.
    enum class How { Stop, Shutdown, AfterShutdown };
    for (How how : {How::Stop, How::Shutdown, How::AfterShutdown}) {
        Recorder rec;
        std::vector<std::int32_t> dropped;
        TLoaderServices services = rec.Services();
        services.dropped = [&](TLoaderRequest& r) {
            if (const auto* house = std::get_if<THouseSpritesPayload>(&r.payload))
                dropped.push_back(house->phaseCode);
        };
        TBackgroundLoader loader(services);
        rec.HoldAt(kHeld);
        loader.Request(Unit(255, kHeld));
        ASSERT_TRUE(rec.WaitStarted(kHeld));
        if (how == How::AfterShutdown) {
            std::thread release([&] { rec.Release(kHeld); });
            loader.Shutdown();
            release.join();
        }
        for (std::int32_t code : {10, 20, 30})
            loader.Request(House(5, code, 0));
        if (how == How::Stop)
            loader.Stop();
        if (how != How::AfterShutdown) {
            std::thread release([&] { rec.Release(kHeld); });
            if (how == How::Shutdown)
                loader.Shutdown();
            else
                EXPECT_TRUE(loader.WaitUntilIdleFor(kLongWaitMs));
            release.join();
        }
        std::sort(dropped.begin(), dropped.end());
        EXPECT_EQ(dropped, (std::vector<std::int32_t>{10, 20, 30})) << static_cast<int>(how);
        for (const auto& run : rec.Runs())
            EXPECT_EQ(run.kind, kLoadUnitPhases) << static_cast<int>(how);
        loader.Shutdown();
    }
}
