#include "platform/threads.h"

#include <chrono>

namespace plat {

Event::Event(bool manualReset, bool initialState)
    : m_Manual(manualReset)
    , m_Signalled(initialState)
{
}

void Event::Set()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Signalled = true;
    }
    if (m_Manual)
        m_Cond.notify_all();
    else
        m_Cond.notify_one();
}

void Event::Reset()
{
    std::lock_guard lock(m_Mutex);
    m_Signalled = false;
}

bool Event::Wait(std::uint32_t timeoutMs)
{
    std::unique_lock lock(m_Mutex);
    const auto ready = [this] { return m_Signalled; };
    if (timeoutMs == kInfinite)
        m_Cond.wait(lock, ready);
    else if (!m_Cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return false;
    if (!m_Manual)
        m_Signalled = false;
    return true;
}

bool Event::IsSet() const
{
    std::lock_guard lock(m_Mutex);
    return m_Signalled;
}

Thread::~Thread()
{
    Join();
}

bool Thread::Start(std::function<void(Thread&)> body)
{
    if (m_Thread.joinable())
        return false;
    m_Stop.store(false, std::memory_order_release);
    m_Thread = std::thread([this, body = std::move(body)] { body(*this); });
    return true;
}

void Thread::SetWakeHandler(std::function<void()> wake)
{
    std::lock_guard lock(m_WakeMutex);
    m_Wake = std::move(wake);
}

void Thread::RequestStop()
{
    m_Stop.store(true, std::memory_order_release);
    std::function<void()> wake;
    {
        std::lock_guard lock(m_WakeMutex);
        wake = m_Wake;
    }
    if (wake)
        wake();
}

void Thread::Join()
{
    if (!m_Thread.joinable())
        return;
    RequestStop();
    if (IsCurrent()) {
        m_Thread.detach(); // a body that joins itself cannot wait for itself
        return;
    }
    m_Thread.join();
}

} // namespace plat
