#pragma once
// The buffered mouse: SDL's mouse events (relative motion while the window is active) become
// records that a reader drains at its own pace, the way the game's mouse thread expects an
// exclusive buffered device to behave. The main thread's event pump feeds the device; any thread
// may read it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/threads.h"

union SDL_Event;

namespace plat {

// Record offsets: which field of the mouse state a record changes.
constexpr std::uint32_t kMouseOfsX = 0;
constexpr std::uint32_t kMouseOfsY = 4;
constexpr std::uint32_t kMouseOfsWheel = 8;
constexpr std::uint32_t kMouseOfsButton0 = 12; // left
constexpr std::uint32_t kMouseOfsButton1 = 13; // right
constexpr std::uint32_t kMouseOfsButton2 = 14; // middle
constexpr std::uint32_t kMouseOfsButton3 = 15;
// Bit of a button record's data that means "pressed".
constexpr std::uint32_t kMouseButtonPressed = 0x80;
// One wheel notch, as a wheel record's data counts it.
constexpr std::int32_t kMouseWheelDelta = 120;

// One buffered record. Motion data is the signed relative value stored in the u32; the two axis
// records of one motion share a sequence number.
struct MouseRecord {
    std::uint32_t offset = 0;
    std::uint32_t data = 0;
    std::uint32_t timeStamp = 0; // milliseconds
    std::uint32_t sequence = 0;
};

enum class MouseRead {
    Record,      // out holds the oldest record
    Empty,       // nothing buffered
    InputLost,   // the window lost the focus: the device is unacquired and the buffer was dropped
    NotAcquired, // the device is not acquired
};

class MouseDevice;

// The input system object; creating it makes sure SDL's event subsystem runs.
class InputSystem {
public:
    // Null (and the reason logged by the caller) when SDL's event subsystem cannot start.
    static std::unique_ptr<InputSystem> Create();
    ~InputSystem();
    InputSystem(const InputSystem&) = delete;
    InputSystem& operator=(const InputSystem&) = delete;

    // The system mouse. At most one exists at a time: null while another one is alive.
    std::unique_ptr<MouseDevice> CreateMouse();

private:
    InputSystem() = default;
};

class MouseDevice {
public:
    static constexpr std::size_t kDefaultBufferSize = 64;

    ~MouseDevice();
    MouseDevice(const MouseDevice&) = delete;
    MouseDevice& operator=(const MouseDevice&) = delete;

    // Records kept before the oldest ones are dropped; 1..4096.
    bool SetBufferSize(std::size_t records);
    std::size_t BufferSize() const;
    // Set (auto-reset events wake one reader) whenever records arrive or the input is lost.
    void SetNotifyEvent(Event* event);

    // While acquired the device collects records and, when the pump syncs it, SDL's relative mouse
    // mode is on (the system cursor is hidden and the mouse is kept in the window).
    bool Acquire();
    void Unacquire();
    bool IsAcquired() const;

    MouseRead Read(MouseRecord& out);
    std::size_t Queued() const;
    // True once after records were dropped because the buffer was full.
    bool TakeOverflow();

    // Producers: the event pump, and tests that script the mouse.
    void AddMotion(std::int32_t dx, std::int32_t dy, std::uint32_t timeStamp);
    void AddButton(int button, bool pressed, std::uint32_t timeStamp);
    void AddWheel(std::int32_t delta, std::uint32_t timeStamp);
    // The window lost the focus: pending records are dropped and the reader sees InputLost.
    void LoseInput();

private:
    friend class InputSystem;
    MouseDevice() = default;
    void PushLocked(std::uint32_t offset, std::uint32_t data, std::uint32_t timeStamp, std::uint32_t sequence);
    void Notify();

    mutable std::mutex m_Mutex;
    std::deque<MouseRecord> m_Records;
    std::size_t m_Capacity = kDefaultBufferSize;
    std::uint32_t m_NextSequence = 1;
    bool m_Acquired = false;
    bool m_Lost = false;
    bool m_Overflow = false;
    Event* m_Event = nullptr;
};

// Called by the main thread's event pump with every SDL event; true when it was a mouse or focus
// event that the system mouse took. Also applies a pending relative-mode change.
bool HandleMouseSdlEvent(const SDL_Event& event);
// The same with the event passed opaquely (an SDL_Event), the shape of the event pump's mouse sink.
void HandleMouseEventFromPump(const void* event);
// Hand records to the system mouse exactly as the event pump does (tests, scripted input). false
// when there is no system mouse.
bool InjectMouseMotion(std::int32_t dx, std::int32_t dy, std::uint32_t timeStamp);
bool InjectMouseButton(int button, bool pressed, std::uint32_t timeStamp);
bool InjectMouseFocusLost();
// Brings SDL's relative mouse mode in line with the system mouse's acquisition. SDL wants this on
// the thread that pumps events, so Acquire from another thread only records the wish.
void SyncRelativeMouseMode();

} // namespace plat
