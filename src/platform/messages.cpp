#include "platform/messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace plat {

namespace {
std::mutex g_QueueMutex;
std::condition_variable g_QueueCond;
std::deque<Message> g_Queue;
} // namespace

void PostAppMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    {
        std::lock_guard lock(g_QueueMutex);
        g_Queue.push_back(Message{message, wParam, lParam});
    }
    g_QueueCond.notify_all();
}

bool PeekAppMessage(Message& out, bool remove)
{
    std::lock_guard lock(g_QueueMutex);
    if (g_Queue.empty())
        return false;
    out = g_Queue.front();
    if (remove)
        g_Queue.pop_front();
    return true;
}

bool GetAppMessage(Message& out)
{
    std::unique_lock lock(g_QueueMutex);
    g_QueueCond.wait(lock, [] { return !g_Queue.empty(); });
    out = g_Queue.front();
    g_Queue.pop_front();
    return out.message != MSG_QUIT;
}

bool WaitAppMessage(std::uint32_t timeoutMs)
{
    std::unique_lock lock(g_QueueMutex);
    return g_QueueCond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return !g_Queue.empty(); });
}

void ClearAppMessages()
{
    std::lock_guard lock(g_QueueMutex);
    g_Queue.clear();
}

} // namespace plat
