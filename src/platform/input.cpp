#include "platform/input.h"

#include <SDL.h>

#include <atomic>

namespace plat {

namespace {

// The one system mouse that the event pump feeds. The registry lock is held while an event is
// handed over, so a device is never destroyed under the pump.
std::mutex s_RegistryMutex;
MouseDevice* s_SystemMouse = nullptr;
std::atomic<bool> s_WantRelative{false};

} // namespace

std::unique_ptr<InputSystem> InputSystem::Create()
{
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0)
        return nullptr;
    return std::unique_ptr<InputSystem>(new InputSystem());
}

InputSystem::~InputSystem()
{
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

std::unique_ptr<MouseDevice> InputSystem::CreateMouse()
{
    std::lock_guard lock(s_RegistryMutex);
    if (s_SystemMouse)
        return nullptr;
    std::unique_ptr<MouseDevice> mouse(new MouseDevice());
    s_SystemMouse = mouse.get();
    return mouse;
}

MouseDevice::~MouseDevice()
{
    {
        std::lock_guard lock(s_RegistryMutex);
        if (s_SystemMouse == this)
            s_SystemMouse = nullptr;
    }
    s_WantRelative.store(false);
}

bool MouseDevice::SetBufferSize(std::size_t records)
{
    if (records < 1 || records > 4096)
        return false;
    std::lock_guard lock(m_Mutex);
    m_Capacity = records;
    while (m_Records.size() > m_Capacity)
        m_Records.pop_front();
    return true;
}

std::size_t MouseDevice::BufferSize() const
{
    std::lock_guard lock(m_Mutex);
    return m_Capacity;
}

void MouseDevice::SetNotifyEvent(Event* event)
{
    std::lock_guard lock(m_Mutex);
    m_Event = event;
}

bool MouseDevice::Acquire()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Acquired = true;
        m_Lost = false;
    }
    s_WantRelative.store(true);
    return true;
}

void MouseDevice::Unacquire()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Acquired = false;
        m_Lost = false;
        m_Records.clear();
    }
    s_WantRelative.store(false);
}

bool MouseDevice::IsAcquired() const
{
    std::lock_guard lock(m_Mutex);
    return m_Acquired;
}

MouseRead MouseDevice::Read(MouseRecord& out)
{
    std::lock_guard lock(m_Mutex);
    if (m_Lost) {
        m_Lost = false;
        return MouseRead::InputLost;
    }
    if (!m_Acquired)
        return MouseRead::NotAcquired;
    if (m_Records.empty())
        return MouseRead::Empty;
    out = m_Records.front();
    m_Records.pop_front();
    return MouseRead::Record;
}

std::size_t MouseDevice::Queued() const
{
    std::lock_guard lock(m_Mutex);
    return m_Records.size();
}

bool MouseDevice::TakeOverflow()
{
    std::lock_guard lock(m_Mutex);
    const bool overflow = m_Overflow;
    m_Overflow = false;
    return overflow;
}

void MouseDevice::PushLocked(std::uint32_t offset, std::uint32_t data, std::uint32_t timeStamp, std::uint32_t sequence)
{
    if (m_Records.size() >= m_Capacity) {
        m_Records.pop_front();
        m_Overflow = true;
    }
    m_Records.push_back({offset, data, timeStamp, sequence});
}

void MouseDevice::Notify()
{
    Event* event;
    {
        std::lock_guard lock(m_Mutex);
        event = m_Event;
    }
    if (event)
        event->Set();
}

void MouseDevice::AddMotion(std::int32_t dx, std::int32_t dy, std::uint32_t timeStamp)
{
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Acquired || (dx == 0 && dy == 0))
            return;
        const std::uint32_t sequence = m_NextSequence++;
        if (dx != 0)
            PushLocked(kMouseOfsX, static_cast<std::uint32_t>(dx), timeStamp, sequence);
        if (dy != 0)
            PushLocked(kMouseOfsY, static_cast<std::uint32_t>(dy), timeStamp, sequence);
    }
    Notify();
}

void MouseDevice::AddButton(int button, bool pressed, std::uint32_t timeStamp)
{
    if (button < 0 || button > 3)
        return;
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Acquired)
            return;
        PushLocked(kMouseOfsButton0 + static_cast<std::uint32_t>(button), pressed ? kMouseButtonPressed : 0, timeStamp,
            m_NextSequence++);
    }
    Notify();
}

void MouseDevice::AddWheel(std::int32_t delta, std::uint32_t timeStamp)
{
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Acquired || delta == 0)
            return;
        PushLocked(kMouseOfsWheel, static_cast<std::uint32_t>(delta), timeStamp, m_NextSequence++);
    }
    Notify();
}

void MouseDevice::LoseInput()
{
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Acquired)
            return;
        m_Acquired = false;
        m_Lost = true;
        m_Records.clear();
    }
    s_WantRelative.store(false);
    Notify();
}

namespace {

int ButtonIndex(std::uint8_t sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
    }
}

} // namespace

bool HandleMouseSdlEvent(const SDL_Event& event)
{
    bool taken = false;
    {
        std::lock_guard lock(s_RegistryMutex);
        MouseDevice* mouse = s_SystemMouse;
        if (mouse) {
            switch (event.type) {
            case SDL_MOUSEMOTION:
                if (event.motion.which != SDL_TOUCH_MOUSEID)
                    mouse->AddMotion(event.motion.xrel, event.motion.yrel, event.motion.timestamp);
                taken = true;
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (event.button.which != SDL_TOUCH_MOUSEID)
                    mouse->AddButton(ButtonIndex(event.button.button), event.type == SDL_MOUSEBUTTONDOWN,
                        event.button.timestamp);
                taken = true;
                break;
            case SDL_MOUSEWHEEL: {
                std::int32_t notches = event.wheel.y;
                if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
                    notches = -notches;
                mouse->AddWheel(notches * kMouseWheelDelta, event.wheel.timestamp);
                taken = true;
                break;
            }
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                    mouse->LoseInput();
                    taken = true;
                }
                break;
            default: break;
            }
        }
    }
    SyncRelativeMouseMode();
    return taken;
}

void HandleMouseEventFromPump(const void* event)
{
    if (event)
        HandleMouseSdlEvent(*static_cast<const SDL_Event*>(event));
}

bool InjectMouseMotion(std::int32_t dx, std::int32_t dy, std::uint32_t timeStamp)
{
    std::lock_guard lock(s_RegistryMutex);
    if (!s_SystemMouse)
        return false;
    s_SystemMouse->AddMotion(dx, dy, timeStamp);
    return true;
}

bool InjectMouseButton(int button, bool pressed, std::uint32_t timeStamp)
{
    std::lock_guard lock(s_RegistryMutex);
    if (!s_SystemMouse)
        return false;
    s_SystemMouse->AddButton(button, pressed, timeStamp);
    return true;
}

bool InjectMouseFocusLost()
{
    std::lock_guard lock(s_RegistryMutex);
    if (!s_SystemMouse)
        return false;
    s_SystemMouse->LoseInput();
    return true;
}

void SyncRelativeMouseMode()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    const SDL_bool want = s_WantRelative.load() ? SDL_TRUE : SDL_FALSE;
    if (SDL_GetRelativeMouseMode() != want)
        SDL_SetRelativeMouseMode(want);
}

} // namespace plat
