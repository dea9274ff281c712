#pragma once
// Threads, recursive critical sections and events. Every thread stops cooperatively and is joined.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace plat {

class CriticalSection {
public:
    void Enter() { m_Mutex.lock(); }
    bool TryEnter() { return m_Mutex.try_lock(); }
    void Leave() { m_Mutex.unlock(); }
    // For std::lock_guard and friends.
    void lock() { Enter(); }
    bool try_lock() { return TryEnter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex m_Mutex;
};

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// An event as the game uses them: auto-reset (one waiter released per Set, the signal kept until
// then) or manual-reset (stays signalled until Reset).
class Event {
public:
    explicit Event(bool manualReset = false, bool initialState = false);
    void Set();
    void Reset();
    // true when signalled, false on time-out.
    bool Wait(std::uint32_t timeoutMs = kInfinite);
    bool IsSet() const;

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Cond;
    bool m_Manual;
    bool m_Signalled;
};

// A thread whose body polls StopRequested() (or waits on something that RequestStop wakes).
class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body(*this); false when a thread is already running.
    bool Start(std::function<void(Thread&)> body);
    void RequestStop();
    bool StopRequested() const { return m_Stop.load(std::memory_order_acquire); }
    // Requests a stop and waits for the body to return.
    void Join();
    bool Running() const { return m_Thread.joinable(); }
    bool IsCurrent() const { return m_Thread.get_id() == std::this_thread::get_id(); }

    // Called by RequestStop after the flag is set, so that a body blocked in a wait can be woken.
    void SetWakeHandler(std::function<void()> wake);

private:
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::mutex m_WakeMutex;
    std::function<void()> m_Wake;
};

} // namespace plat
