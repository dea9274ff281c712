#pragma once
// The background loader: one worker thread that loads unit, building and ship graphics so that a
// game can start before every sprite set is ready. Requests run highest priority first. The main
// thread polls building results once per frame and waits for the worker to be idle before a game
// is freed and at shutdown.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

#include "platform/threads.h"

class TBasicUnit;
class THouseType;
class CHousePhaseGraphic;
struct TShipData;

// Request kinds.
constexpr std::uint8_t kLoadUnitPhases = 0;
constexpr std::uint8_t kLoadHouseSprites = 1;
constexpr std::uint8_t kLoadShipPart = 4;

// Kind 0: the phases of one work state of a unit type.
struct TUnitPhasesPayload {
    TBasicUnit* unitType = nullptr;
    std::uint32_t work = 0;
};

// Kind 1: a building phase's sprites; `result` is reported through PollLoaderResult on success
// (1 asks for a redraw of the map view).
struct THouseSpritesPayload {
    CHousePhaseGraphic* phase = nullptr;
    THouseType* houseType = nullptr;
    std::int32_t phaseCode = 0;
    std::uint8_t result = 0;
};

// Kind 4: one part of a ship type's graphics.
struct TShipPartPayload {
    TShipData* ship = nullptr;
    std::uint8_t part = 0;
    std::uint8_t second = 0;
};

using TLoaderPayload = std::variant<std::monostate, TUnitPhasesPayload, THouseSpritesPayload, TShipPartPayload>;

// Owned by the loader from LoaderRequest on; freed after it ran or when it is dropped.
struct TLoaderRequest {
    std::uint8_t priority = 0;
    std::uint8_t kind = 0;
    TLoaderPayload payload;
};

std::unique_ptr<TLoaderRequest> MakeUnitPhasesRequest(std::uint8_t priority, TBasicUnit* unitType,
                                                      std::uint32_t work);
std::unique_ptr<TLoaderRequest> MakeHouseSpritesRequest(std::uint8_t priority, CHousePhaseGraphic* phase,
                                                        THouseType* houseType, std::int32_t phaseCode,
                                                        std::uint8_t result);
std::unique_ptr<TLoaderRequest> MakeShipPartRequest(std::uint8_t priority, TShipData* ship, std::uint8_t part,
                                                    std::uint8_t second);

// What the worker runs for each kind, how the main thread sleeps when it gives way, and how a
// loaded visible building asks for a redraw of the map view. Tests put recorders in their place.
struct TLoaderServices {
    std::function<bool(TBasicUnit*, std::uint32_t)> loadUnitPhases;
    std::function<bool(CHousePhaseGraphic*, THouseType*, std::int32_t)> loadHouseSprites;
    std::function<void(TShipData*, std::uint8_t, std::uint8_t)> shipPartsStep;
    std::function<void(std::uint32_t)> sleepMs;
    std::function<void()> requestRedraw;
    // A request that will never run (Stop, Shutdown, or a request after shutdown): whoever waits
    // for its result is told here, on the thread that dropped it, outside the loader's lock.
    std::function<void(TLoaderRequest&)> dropped;
};

// The services of a loader made without its own (g_Loader): the graphics loaders and the map view
// lie on floors above this one, so the game installs their binding. A loader takes it once, when
// its worker starts or its first result is polled, and keeps it; a loader that starts before any
// binding is installed runs without services. Called from the main thread before the first request.
using TLoaderServicesMaker = TLoaderServices (*)();
void SetDefaultLoaderServices(TLoaderServicesMaker make);

constexpr std::uint8_t kLoaderNoResult = 255;
constexpr std::uint8_t kLoaderHouseLoaded = 1;
// The main thread's pause after a consumed result while this many requests or more were waiting.
constexpr std::uint16_t kLoaderBusyQueue = 5;
constexpr std::uint16_t kLoaderThrottleMs = 20;

class TBackgroundLoader {
public:
    TBackgroundLoader();
    explicit TBackgroundLoader(TLoaderServices services);
    ~TBackgroundLoader();
    TBackgroundLoader(const TBackgroundLoader&) = delete;
    TBackgroundLoader& operator=(const TBackgroundLoader&) = delete;

    // Queues a request; a null request is ignored. Safe from any thread, including a loader
    // running on the worker.
    void Request(std::unique_ptr<TLoaderRequest> request);
    // Lets the worker make one pass even when nothing is queued.
    void Resume();
    // Takes the last building result; returns the milliseconds the calling thread slept to give
    // the worker time (0 or the throttle).
    std::uint32_t Poll();
    // Drops every waiting request without running it; a request already running finishes.
    void Stop();

    // 1 while the worker has nothing queued and runs nothing. Cleared only by Request.
    bool IsIdle() const;
    // Blocks until the worker is idle (at once when it is).
    void WaitUntilIdle();
    // As WaitUntilIdle, giving up after timeoutMs; true when idle.
    bool WaitUntilIdleFor(std::uint32_t timeoutMs);

    // Requests waiting at the worker's last pass.
    std::uint16_t WaitingCount() const;
    std::uint16_t Throttle() const;
    // Requests queued now.
    std::size_t QueuedCount() const;

    // Ends the worker between requests and joins it; requests still queued are dropped. Further
    // requests are dropped too. Called at shutdown; the destructor does the same.
    void Shutdown();

private:
    void TakeDefaultServicesLocked();
    void StartWorkerLocked();
    void ThreadFunc(plat::Thread& self);
    void PushLocked(std::unique_ptr<TLoaderRequest> request);
    std::unique_ptr<TLoaderRequest> PopLocked();
    void Run(TLoaderRequest& request);
    void Drop(std::vector<std::unique_ptr<TLoaderRequest>> requests);

    // Written only under m_Lock before the worker starts (TakeDefaultServicesLocked); read freely
    // after that.
    TLoaderServices m_Services;
    bool m_WantsDefaultServices = false;
    plat::Thread m_Thread;
    mutable std::mutex m_Lock; // guards everything below
    std::condition_variable m_WorkOrStop;
    std::condition_variable m_IdleChanged;
    // A max-heap on priority: entry i has its children at 2i + 1 and 2i + 2.
    std::vector<std::unique_ptr<TLoaderRequest>> m_Heap;
    bool m_Idle = true;
    bool m_ResumePending = false;
    bool m_ShutDown = false;
    bool m_Started = false;
    std::uint16_t m_Throttle = 0;
    std::uint16_t m_WaitingCount = 0;
    std::uint8_t m_ResultState = kLoaderNoResult;
    std::uint8_t m_ResultValue = kLoaderNoResult;
};

extern TBackgroundLoader g_Loader;

void LoaderRequest(std::unique_ptr<TLoaderRequest> request);
void ResumeLoaderThread();
void PollLoaderResult();
void StopLoader();
// Blocks until the loader is idle; what the game load, teardown, save-game loader and shutdown
// wait for before they free graphics.
void WaitLoaderIdle();
