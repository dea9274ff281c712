#include "core/loader_thread.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "core/error_log.h"

std::unique_ptr<TLoaderRequest> MakeUnitPhasesRequest(std::uint8_t priority, TBasicUnit* unitType,
                                                      std::uint32_t work)
{
    auto request = std::make_unique<TLoaderRequest>();
    request->priority = priority;
    request->kind = kLoadUnitPhases;
    request->payload = TUnitPhasesPayload{unitType, work};
    return request;
}

std::unique_ptr<TLoaderRequest> MakeHouseSpritesRequest(std::uint8_t priority, CHousePhaseGraphic* phase,
                                                        THouseType* houseType, std::int32_t phaseCode,
                                                        std::uint8_t result)
{
    auto request = std::make_unique<TLoaderRequest>();
    request->priority = priority;
    request->kind = kLoadHouseSprites;
    request->payload = THouseSpritesPayload{phase, houseType, phaseCode, result};
    return request;
}

std::unique_ptr<TLoaderRequest> MakeShipPartRequest(std::uint8_t priority, TShipData* ship, std::uint8_t part,
                                                    std::uint8_t second)
{
    auto request = std::make_unique<TLoaderRequest>();
    request->priority = priority;
    request->kind = kLoadShipPart;
    request->payload = TShipPartPayload{ship, part, second};
    return request;
}

namespace {
// Set by the game's start-up code before any loader runs; read under a loader's lock.
constinit TLoaderServicesMaker s_DefaultServices = nullptr;
}

void SetDefaultLoaderServices(TLoaderServicesMaker make)
{
    s_DefaultServices = make;
}

TBackgroundLoader::TBackgroundLoader()
    : m_WantsDefaultServices(true)
{
}

TBackgroundLoader::TBackgroundLoader(TLoaderServices services)
    : m_Services(std::move(services))
{
}

void TBackgroundLoader::TakeDefaultServicesLocked()
{
    if (!m_WantsDefaultServices || m_Started)
        return;
    m_WantsDefaultServices = false;
    if (s_DefaultServices)
        m_Services = s_DefaultServices();
}

TBackgroundLoader::~TBackgroundLoader()
{
    Shutdown();
}

// The worker is started by the first request or resume rather than at static initialisation, so
// that a process that never loads graphics never has the thread.
void TBackgroundLoader::StartWorkerLocked()
{
    if (m_Started || m_ShutDown)
        return;
    TakeDefaultServicesLocked();
    m_Started = true;
    m_Thread.SetWakeHandler([this] {
        std::lock_guard lock(m_Lock);
        m_WorkOrStop.notify_all();
    });
    m_Thread.Start([this](plat::Thread& self) { ThreadFunc(self); });
}

void TBackgroundLoader::Request(std::unique_ptr<TLoaderRequest> request)
{
    if (!request)
        return;
    {
        std::lock_guard lock(m_Lock);
        // A loader that never started takes its services now, so that it can tell of the drop.
        TakeDefaultServicesLocked();
        if (!m_ShutDown) {
            PushLocked(std::move(request));
            StartWorkerLocked();
            if (m_Idle) {
                m_Idle = false;
                m_WorkOrStop.notify_one();
            }
            return;
        }
    }
    // The worker is gone: the request is dropped like the ones Stop discards.
    std::vector<std::unique_ptr<TLoaderRequest>> dropped;
    dropped.push_back(std::move(request));
    Drop(std::move(dropped));
}

void TBackgroundLoader::Drop(std::vector<std::unique_ptr<TLoaderRequest>> requests)
{
    for (auto& request : requests)
        if (request && m_Services.dropped)
            m_Services.dropped(*request);
}

void TBackgroundLoader::Resume()
{
    std::lock_guard lock(m_Lock);
    if (m_ShutDown)
        return;
    StartWorkerLocked();
    m_ResumePending = true;
    m_WorkOrStop.notify_one();
}

std::uint32_t TBackgroundLoader::Poll()
{
    std::uint8_t state;
    std::uint8_t value;
    std::uint16_t throttle;
    {
        std::lock_guard lock(m_Lock);
        TakeDefaultServicesLocked();
        state = m_ResultState;
        value = m_ResultValue;
        throttle = m_Throttle;
        m_ResultState = kLoaderNoResult;
    }
    if (state == kLoaderHouseLoaded && value == 1 && m_Services.requestRedraw)
        m_Services.requestRedraw();
    if (state == kLoaderNoResult || throttle == 0)
        return 0;
    if (m_Services.sleepMs)
        m_Services.sleepMs(throttle);
    return throttle;
}

void TBackgroundLoader::Stop()
{
    std::vector<std::unique_ptr<TLoaderRequest>> dropped;
    {
        std::lock_guard lock(m_Lock);
        dropped.swap(m_Heap);
    }
    Drop(std::move(dropped));
}

bool TBackgroundLoader::IsIdle() const
{
    std::lock_guard lock(m_Lock);
    return m_Idle;
}

void TBackgroundLoader::WaitUntilIdle()
{
    std::unique_lock lock(m_Lock);
    m_IdleChanged.wait(lock, [this] { return m_Idle; });
}

bool TBackgroundLoader::WaitUntilIdleFor(std::uint32_t timeoutMs)
{
    std::unique_lock lock(m_Lock);
    return m_IdleChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_Idle; });
}

std::uint16_t TBackgroundLoader::WaitingCount() const
{
    std::lock_guard lock(m_Lock);
    return m_WaitingCount;
}

std::uint16_t TBackgroundLoader::Throttle() const
{
    std::lock_guard lock(m_Lock);
    return m_Throttle;
}

std::size_t TBackgroundLoader::QueuedCount() const
{
    std::lock_guard lock(m_Lock);
    return m_Heap.size();
}

void TBackgroundLoader::Shutdown()
{
    std::vector<std::unique_ptr<TLoaderRequest>> dropped;
    {
        std::lock_guard lock(m_Lock);
        m_ShutDown = true;
        dropped.swap(m_Heap);
    }
    Drop(std::move(dropped));
    // Not under the lock: the stop request wakes the worker through the lock.
    m_Thread.Join();
    std::lock_guard lock(m_Lock);
    m_Idle = true;
    m_IdleChanged.notify_all();
}

void TBackgroundLoader::PushLocked(std::unique_ptr<TLoaderRequest> request)
{
    // An entry never passes a parent of equal priority.
    const std::uint8_t priority = request->priority;
    std::size_t hole = m_Heap.size();
    m_Heap.emplace_back();
    while (hole > 0) {
        const std::size_t parent = (hole - 1) / 2;
        if (m_Heap[parent]->priority >= priority)
            break;
        m_Heap[hole] = std::move(m_Heap[parent]);
        hole = parent;
    }
    m_Heap[hole] = std::move(request);
}

std::unique_ptr<TLoaderRequest> TBackgroundLoader::PopLocked()
{
    std::unique_ptr<TLoaderRequest> root = std::move(m_Heap.front());
    const std::size_t size = m_Heap.size() - 1; // size after the removal
    if (size == 0) {
        m_Heap.pop_back();
        return root;
    }
    std::unique_ptr<TLoaderRequest> last = std::move(m_Heap[size]);
    // The hole walks down to the bottom, taking the greater child each time; on a tie the right
    // child moves up.
    std::size_t hole = 0;
    for (;;) {
        const std::size_t left = 2 * hole + 1;
        const std::size_t right = left + 1;
        std::size_t child;
        if (right < size)
            child = m_Heap[left]->priority > m_Heap[right]->priority ? left : right;
        else if (left < size)
            child = left;
        else
            break;
        m_Heap[hole] = std::move(m_Heap[child]);
        hole = child;
    }
    // The former last entry fills the hole and rises above smaller parents.
    while (hole > 0) {
        const std::size_t parent = (hole - 1) / 2;
        if (m_Heap[parent]->priority >= last->priority)
            break;
        m_Heap[hole] = std::move(m_Heap[parent]);
        hole = parent;
    }
    m_Heap[hole] = std::move(last);
    m_Heap.pop_back();
    return root;
}

void TBackgroundLoader::ThreadFunc(plat::Thread& self)
{
    std::unique_lock lock(m_Lock);
    for (;;) {
        const std::size_t waiting = m_Heap.size();
        m_WaitingCount = static_cast<std::uint16_t>(std::min<std::size_t>(waiting, 0xFFFF));
        m_Throttle = waiting >= kLoaderBusyQueue ? kLoaderThrottleMs : 0;
        if (self.StopRequested())
            break;
        if (m_Heap.empty()) {
            // Idle is set and the wait re-checks its condition under the same lock, so a request
            // posted at any moment either is seen before the wait or wakes it.
            m_Idle = true;
            m_IdleChanged.notify_all();
            m_WorkOrStop.wait(lock, [&] { return !m_Heap.empty() || m_ResumePending || self.StopRequested(); });
            m_ResumePending = false;
            continue;
        }
        std::unique_ptr<TLoaderRequest> request = PopLocked();
        lock.unlock();
        // Loaders run outside the lock: the main thread's requests and polls never wait for a
        // load, and a loader may itself post requests.
        Run(*request);
        request.reset();
        lock.lock();
    }
    m_Idle = true;
    m_IdleChanged.notify_all();
}

void TBackgroundLoader::Run(TLoaderRequest& request)
{
    switch (request.kind) {
    case kLoadUnitPhases: {
        const auto* payload = std::get_if<TUnitPhasesPayload>(&request.payload);
        if (!payload || !payload->unitType) {
            ReportError("Loader: unit phase request without a unit type");
            return;
        }
        if (m_Services.loadUnitPhases)
            m_Services.loadUnitPhases(payload->unitType, payload->work);
        return;
    }
    case kLoadHouseSprites: {
        const auto* payload = std::get_if<THouseSpritesPayload>(&request.payload);
        bool loaded = false;
        if (!payload || !payload->phase)
            ReportError("Loader: building sprite request without a phase graphic");
        else if (m_Services.loadHouseSprites)
            loaded = m_Services.loadHouseSprites(payload->phase, payload->houseType, payload->phaseCode);
        std::lock_guard lock(m_Lock);
        if (!loaded) {
            // A failure is told by the building code's own state; it leaves a result that the
            // main thread has not taken yet alone.
            return;
        }
        // A visible building asks for a redraw; a later load of a hidden one must not take that
        // request back before the main thread has seen it.
        const bool redrawPending = m_ResultState == kLoaderHouseLoaded && m_ResultValue == 1;
        m_ResultState = kLoaderHouseLoaded;
        m_ResultValue = redrawPending ? 1 : payload->result;
        return;
    }
    case kLoadShipPart: {
        const auto* payload = std::get_if<TShipPartPayload>(&request.payload);
        if (!payload || !payload->ship) {
            ReportError("Loader: ship part request without ship data");
            return;
        }
        if (m_Services.shipPartsStep)
            m_Services.shipPartsStep(payload->ship, payload->part, payload->second);
        return;
    }
    default:
        return;
    }
}

// Constructed at static initialisation; its thread starts with the first request.
TBackgroundLoader g_Loader;

void LoaderRequest(std::unique_ptr<TLoaderRequest> request)
{
    g_Loader.Request(std::move(request));
}

void ResumeLoaderThread()
{
    g_Loader.Resume();
}

void PollLoaderResult()
{
    g_Loader.Poll();
}

void StopLoader()
{
    g_Loader.Stop();
}

void WaitLoaderIdle()
{
    g_Loader.WaitUntilIdle();
}
