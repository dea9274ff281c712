#pragma once
// Textures: CPU pictures in ARGB4444, ARGB1555, ARGB8888 or the display's RGB565/RGB555 format, with
// an optional source colour key. The loader thread creates and fills them while the main thread
// draws; a texture is locked for writing while it is filled, and a draw of it waits for the lock.
// Reference counted like the rest of the device's objects: the creator holds one reference.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/surface.h"

namespace plat {

struct TextureLock {
    std::uint8_t* bits = nullptr; // first byte of the top row
    int pitch = 0;                // bytes from one row to the next
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::ARGB4444;
};

class Texture {
public:
    // Sizes below 1 or above 8192, or a format that is not a colour format, make an empty texture
    // (Valid() false); Create refuses them.
    static Texture* Create(int width, int height, PixelFormat format);

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    void AddRef() { m_Refs.fetch_add(1, std::memory_order_relaxed); }
    // Drops one reference; the last one deletes the texture. Returns the references left.
    std::uint32_t Release();

    int Width() const { return m_Pixels.Width(); }
    int Height() const { return m_Pixels.Height(); }
    PixelFormat Format() const { return m_Pixels.Format(); }

    void SetColorKey(std::uint32_t key);
    void ClearColorKey();
    bool HasColorKey() const { return m_HasKey; }
    std::uint32_t ColorKey() const { return m_Key; }

    // Locks the whole picture for writing; waits while another thread holds the lock or draws the
    // texture. false when this thread holds the lock already (a second lock would never return).
    bool Lock(TextureLock& out);
    // Ends the write and makes the new pixels visible to draws. Without a lock of this thread it
    // does nothing.
    void Unlock();
    bool LockedByThisThread() const { return m_Owner.load(std::memory_order_acquire) == std::this_thread::get_id(); }
    // Fills every pixel with one raw value (the low 16 bits for 16-bit formats). Like the key
    // setters, it may be called with or without the texture locked by this thread.
    void Fill(std::uint32_t value);

    // Raw pixels for readers that do not need the lock (tests, the loader's own checks).
    const PixelBuffer& Pixels() const { return m_Pixels; }

    // --- what the rasteriser reads, holding SampleMutex ---
    std::mutex& SampleMutex() const { return m_Mutex; }
    // The picture in a 16-bit display format (RGB565 or RGB555), rows of Width() pixels, each
    // texel's colour modulated by the 0xRRGGBB colour (a x b / 255 rounded, as stage 0 does): made
    // on the first draw that needs it and again after the pixels or the colour changed. The white
    // copy and one modulated copy are kept. Null for other formats.
    const std::uint16_t* DisplayPixels(PixelFormat target, std::uint32_t modulate = 0xFFFFFFu) const;
    // A per-texel table the rasteriser derives from the pixels for one set of stage and blend
    // settings, named by key and key2: the stored table when the key matches and neither the pixels nor the
    // colour key changed since it was made; otherwise a table of `size` entries to fill, with
    // fresh set. A few tables are kept (a sprite is drawn in each player's colour), the oldest
    // replaced first; a pointer stays valid until the next call.
    std::uint16_t* StageTable(std::uint64_t key, std::uint64_t key2, std::size_t size, bool& fresh) const;
    // ARGB8888 of every 16-bit raw value of a 16-bit colour format; null for ARGB8888.
    static const std::uint32_t* ExpandTable(PixelFormat format);

    // ARGB8888 of one raw pixel in the given format.
    static std::uint32_t Expand(PixelFormat format, std::uint32_t raw);

private:
    class Guard;
    Texture(int width, int height, PixelFormat format);
    ~Texture() = default;

    PixelBuffer m_Pixels;
    mutable std::vector<std::uint16_t> m_Display;
    mutable PixelFormat m_DisplayFormat = PixelFormat::RGB565;
    mutable bool m_DisplayValid = false;
    mutable std::vector<std::uint16_t> m_Modulated;
    mutable PixelFormat m_ModulatedFormat = PixelFormat::RGB565;
    mutable std::uint32_t m_ModulatedBy = 0;
    mutable bool m_ModulatedValid = false;
    struct StageSlot {
        std::vector<std::uint16_t> table;
        std::uint64_t key = 0;
        std::uint64_t key2 = 0;
        bool valid = false;
    };
    static constexpr int kStageSlots = 8;
    mutable StageSlot m_Stage[kStageSlots];
    mutable int m_StageNext = 0;
    std::atomic<std::uint32_t> m_Refs{1};
    bool m_HasKey = false;
    std::uint32_t m_Key = 0;
    mutable std::mutex m_Mutex;
    std::atomic<std::thread::id> m_Owner{};
};

} // namespace plat
