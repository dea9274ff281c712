#include "platform/texture.h"

#include <cstring>

namespace plat {

namespace {

constexpr int kMaxTextureSide = 8192;

// Row pitch of a texture: a multiple of 8 bytes, so that callers who ignore the pitch of a lock show
// up at once on odd widths.
int TexturePitch(int width, PixelFormat format)
{
    const int row = width * BytesPerPixel(format);
    return (row + 7) & ~7;
}

bool IsColorFormat(PixelFormat format)
{
    return format != PixelFormat::Depth16;
}

// Widens an n-bit channel to 8 bits by repeating its top bits.
inline std::uint32_t Widen5(std::uint32_t c) { return (c << 3) | (c >> 2); }
inline std::uint32_t Widen6(std::uint32_t c) { return (c << 2) | (c >> 4); }

} // namespace

std::uint32_t Texture::Expand(PixelFormat format, std::uint32_t raw)
{
    switch (format) {
    case PixelFormat::ARGB4444: {
        const std::uint32_t a = (raw >> 12) & 0xF, r = (raw >> 8) & 0xF, g = (raw >> 4) & 0xF, b = raw & 0xF;
        return (a * 17) << 24 | (r * 17) << 16 | (g * 17) << 8 | (b * 17);
    }
    case PixelFormat::ARGB1555: {
        const std::uint32_t a = (raw & 0x8000) ? 0xFF : 0;
        return a << 24 | Widen5((raw >> 10) & 0x1F) << 16 | Widen5((raw >> 5) & 0x1F) << 8 | Widen5(raw & 0x1F);
    }
    case PixelFormat::RGB565:
        return 0xFF000000u | Widen5((raw >> 11) & 0x1F) << 16 | Widen6((raw >> 5) & 0x3F) << 8 | Widen5(raw & 0x1F);
    case PixelFormat::RGB555:
        return 0xFF000000u | Widen5((raw >> 10) & 0x1F) << 16 | Widen5((raw >> 5) & 0x1F) << 8 | Widen5(raw & 0x1F);
    case PixelFormat::ARGB8888:
        return raw;
    case PixelFormat::Depth16:
        break;
    }
    return 0;
}

Texture::Texture(int width, int height, PixelFormat format)
    : m_Pixels(width, height, format, TexturePitch(width, format))
{
}

Texture* Texture::Create(int width, int height, PixelFormat format)
{
    if (width < 1 || height < 1 || width > kMaxTextureSide || height > kMaxTextureSide || !IsColorFormat(format))
        return nullptr;
    return new Texture(width, height, format);
}

std::uint32_t Texture::Release()
{
    const std::uint32_t left = m_Refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

// Holds the texture's lock unless this thread holds it already through Lock, so that a filler may
// also set the key or clear the picture while it has the texture locked.
class Texture::Guard {
public:
    explicit Guard(const Texture& t) : m_Mutex(t.LockedByThisThread() ? nullptr : &t.m_Mutex)
    {
        if (m_Mutex)
            m_Mutex->lock();
    }
    ~Guard()
    {
        if (m_Mutex)
            m_Mutex->unlock();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    std::mutex* m_Mutex;
};

void Texture::SetColorKey(std::uint32_t key)
{
    Guard guard(*this);
    const std::uint32_t mask = BytesPerPixel(Format()) == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    m_Key = key & mask;
    m_HasKey = true;
    for (StageSlot& slot : m_Stage)
        slot.valid = false;
}

void Texture::ClearColorKey()
{
    Guard guard(*this);
    m_HasKey = false;
    for (StageSlot& slot : m_Stage)
        slot.valid = false;
}

bool Texture::Lock(TextureLock& out)
{
    if (m_Owner.load(std::memory_order_acquire) == std::this_thread::get_id())
        return false;
    m_Mutex.lock();
    m_Owner.store(std::this_thread::get_id(), std::memory_order_release);
    out.bits = m_Pixels.Bits();
    out.pitch = m_Pixels.Pitch();
    out.width = m_Pixels.Width();
    out.height = m_Pixels.Height();
    out.format = m_Pixels.Format();
    return true;
}

void Texture::Unlock()
{
    if (m_Owner.load(std::memory_order_acquire) != std::this_thread::get_id())
        return;
    m_DisplayValid = false;
    m_ModulatedValid = false;
    for (StageSlot& slot : m_Stage)
        slot.valid = false;
    m_Owner.store(std::thread::id(), std::memory_order_release);
    m_Mutex.unlock();
}

void Texture::Fill(std::uint32_t value)
{
    Guard guard(*this);
    const int w = Width(), h = Height();
    for (int y = 0; y < h; ++y) {
        if (BytesPerPixel(Format()) == 2) {
            std::uint16_t* row = m_Pixels.Row16(y);
            for (int x = 0; x < w; ++x)
                row[x] = static_cast<std::uint16_t>(value);
        } else {
            std::uint32_t* row = m_Pixels.Row32(y);
            for (int x = 0; x < w; ++x)
                row[x] = value;
        }
    }
    m_DisplayValid = false;
    m_ModulatedValid = false;
    for (StageSlot& slot : m_Stage)
        slot.valid = false;
}

const std::uint32_t* Texture::ExpandTable(PixelFormat format)
{
    struct Tables {
        std::vector<std::uint32_t> t[4];
        Tables()
        {
            const PixelFormat formats[4] = {PixelFormat::ARGB4444, PixelFormat::ARGB1555, PixelFormat::RGB565,
                                            PixelFormat::RGB555};
            for (int f = 0; f < 4; ++f) {
                t[f].resize(65536);
                for (std::uint32_t raw = 0; raw < 65536; ++raw)
                    t[f][raw] = Expand(formats[f], raw);
            }
        }
    };
    static const Tables tables;
    switch (format) {
    case PixelFormat::ARGB4444: return tables.t[0].data();
    case PixelFormat::ARGB1555: return tables.t[1].data();
    case PixelFormat::RGB565: return tables.t[2].data();
    case PixelFormat::RGB555: return tables.t[3].data();
    default: return nullptr;
    }
}

const std::uint16_t* Texture::DisplayPixels(PixelFormat target, std::uint32_t modulate) const
{
    if (target != PixelFormat::RGB565 && target != PixelFormat::RGB555)
        return nullptr;
    modulate &= 0xFFFFFFu;
    const bool white = modulate == 0xFFFFFFu;
    // Plain and modulated copies are kept apart: the same picture is often drawn both ways.
    std::vector<std::uint16_t>& copy = white ? m_Display : m_Modulated;
    bool& valid = white ? m_DisplayValid : m_ModulatedValid;
    PixelFormat& format = white ? m_DisplayFormat : m_ModulatedFormat;
    if (valid && format == target && (white || m_ModulatedBy == modulate))
        return copy.data();
    const int w = Width(), h = Height();
    copy.resize(static_cast<std::size_t>(w) * h);
    const std::uint32_t* table = ExpandTable(Format());
    // a x b / 255 rounded to nearest, as the device's MODULATE.
    auto mul = [](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t t = a * b + 128;
        return (t + (t >> 8)) >> 8;
    };
    const std::uint32_t mr = (modulate >> 16) & 0xFF, mg = (modulate >> 8) & 0xFF, mb = modulate & 0xFF;
    for (int y = 0; y < h; ++y) {
        std::uint16_t* out = copy.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            std::uint32_t t = table ? table[m_Pixels.Row16(y)[x]] : m_Pixels.Row32(y)[x];
            if (!white)
                t = mul((t >> 16) & 0xFF, mr) << 16 | mul((t >> 8) & 0xFF, mg) << 8 | mul(t & 0xFF, mb);
            out[x] = static_cast<std::uint16_t>(
                target == PixelFormat::RGB565 ? ((t >> 8) & 0xF800) | ((t >> 5) & 0x07E0) | ((t >> 3) & 0x001F)
                                              : ((t >> 9) & 0x7C00) | ((t >> 6) & 0x03E0) | ((t >> 3) & 0x001F));
        }
    }
    format = target;
    valid = true;
    if (!white)
        m_ModulatedBy = modulate;
    return copy.data();
}

std::uint16_t* Texture::StageTable(std::uint64_t key, std::uint64_t key2, std::size_t size, bool& fresh) const
{
    for (StageSlot& slot : m_Stage)
        if (slot.valid && slot.key == key && slot.key2 == key2 && slot.table.size() == size) {
            fresh = false;
            return slot.table.data();
        }
    StageSlot& slot = m_Stage[m_StageNext];
    m_StageNext = (m_StageNext + 1) % kStageSlots;
    slot.table.resize(size);
    slot.key = key;
    slot.key2 = key2;
    slot.valid = true;
    fresh = true;
    return slot.table.data();
}

} // namespace plat
