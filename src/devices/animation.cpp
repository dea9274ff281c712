#include "devices/animation.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "core/archive.h"
#include "core/commented_reader.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "map/map_view.h"
#include "platform/bytes.h"
#include "platform/texture.h"

namespace {

constexpr const char* kInfoName = "Info.txt";
constexpr std::size_t kFrameHeadSize = 4; // u16 width, u16 height
constexpr float kQuarterTurn = 1.5707964f;

// Float to int by truncation toward zero, held inside the int range (NaN gives 0), so that
// positions and sizes from files or saved games can never make the conversion undefined.
int TruncToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// Map pixel coordinates stay far inside this; a wild position from a saved game is held here so
// that the corner arithmetic cannot overflow.
constexpr int kMapCoordLimit = 1 << 24;

int MapCoord(double v)
{
    const int i = TruncToInt(v);
    return i < -kMapCoordLimit ? -kMapCoordLimit : (i > kMapCoordLimit ? kMapCoordLimit : i);
}

std::int16_t TruncToI16(double v)
{
    const int i = TruncToInt(v);
    if (i > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (i < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return static_cast<std::int16_t>(i);
}

// The next word of a text list; blanks before it are skipped, so a leading line end or a blank
// line between words does not read as an empty word.
bool NextWord(TIfStreamMemory& in, char* word, std::int32_t capacity)
{
    // An empty token still consumes the delimiters after it, so every turn moves on.
    while (!in.AtEnd())
        if (in.ReadToken(word, capacity) > 0)
            return true;
    word[0] = 0;
    return false;
}

// Slot 303 is opened and closed around each pack; closing it on every way out keeps the slot
// free for the next load.
struct AnimationSlot {
    bool open = false;
    explicit AnimationSlot(const char* path)
        : open(Load_LesHeader(LES_SLOT_ANIMATION, path))
    {
    }
    ~AnimationSlot()
    {
        if (open)
            CloseLes(LES_SLOT_ANIMATION);
    }
    AnimationSlot(const AnimationSlot&) = delete;
    AnimationSlot& operator=(const AnimationSlot&) = delete;
};

struct EntryBuffer {
    std::uint32_t size = 0; // before data: the load fills it
    std::uint8_t* data = nullptr;
    EntryBuffer(const char* name, std::uint16_t id)
        : data(LoadLesEntry(LES_SLOT_ANIMATION, name, id, &size))
    {
    }
    ~EntryBuffer() { FreeLesEntry(data); }
    EntryBuffer(const EntryBuffer&) = delete;
    EntryBuffer& operator=(const EntryBuffer&) = delete;
};

} // namespace

// ---- TAnimationSprites -------------------------------------------------------------------------

void TAnimationSprites::Release()
{
    for (plat::Texture* t : m_Frames)
        if (t)
            t->Release();
    m_Frames.clear();
    m_Count = 0;
}

void TAnimationSprites::AdoptFrames(std::vector<plat::Texture*> frames, std::uint16_t width, std::uint16_t height)
{
    Release();
    m_Frames = std::move(frames);
    m_Count = static_cast<std::uint16_t>(m_Frames.size());
    m_Width = width;
    m_Height = height;
}

TSpriteFrame TAnimationSprites::Frame(int i) const
{
    return TSpriteFrame{FrameTexture(i), m_Width, m_Height};
}

void ReadAnimationHotSpot(const std::uint8_t* text, std::int32_t size, std::uint16_t width, std::uint16_t height,
                          std::int16_t& hotX, std::int16_t& hotY)
{
    TIfStreamMemory in(text, size);
    char first[64], second[64];
    NextWord(in, first, sizeof first);
    NextWord(in, second, sizeof second);
    const std::int32_t x = DecimalToInt(first);
    const std::int32_t y = DecimalToInt(second);
    hotX = TruncToI16(width * 0.5 - x);
    hotY = TruncToI16(height * 0.5 - y);
}

std::int16_t TAnimationSprites::LoadAnimationFromArhive(const char* _FileName, std::uint8_t _Format,
                                                         std::uint16_t frameId)
{
    Release();
    AnimationSlot slot(_FileName);
    if (!slot.open)
        return 0;

    const EntryBuffer info(kInfoName, 0);
    std::uint32_t count = frameId == ANIMATION_ALL_FRAMES ? GetLesEntryCount(LES_SLOT_ANIMATION) : 1;
    if (info.data && frameId == ANIMATION_ALL_FRAMES && count > 0)
        --count;

    std::vector<plat::Texture*> frames(count, nullptr);
    std::uint16_t width = 0, height = 0;
    bool haveSize = false;
    std::int16_t made = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint16_t id = frameId == ANIMATION_ALL_FRAMES ? static_cast<std::uint16_t>(i) : frameId;
        const EntryBuffer entry(nullptr, id);
        if (!entry.data)
            continue;
        if (_Format != ANIMATION_FORMAT_4444) {
            ReportError("TAnimationSprites::LoadAnimationFromArhive(char *_FileName, BYTE _Format) - Unknown _Format");
            for (plat::Texture* t : frames)
                if (t)
                    t->Release();
            return 0;
        }
        if (entry.size < kFrameHeadSize) {
            ReportErrorInt("TAnimationSprites: frame entry without its size head, id ", id);
            continue;
        }
        // Every frame is made in the size of the first; a missing first frame leaves the size to
        // the first frame that is there.
        if (!haveSize) {
            width = plat::ReadU16LE(entry.data);
            height = plat::ReadU16LE(entry.data + 2);
            haveSize = true;
        }
        const std::uint64_t need = kFrameHeadSize + std::uint64_t{width} * height * 2;
        if (entry.size < need) {
            ReportErrorInt("TAnimationSprites: frame entry shorter than the first frame's size, id ", id);
            continue;
        }
        frames[i] = CreateTexture4444(entry.data + kFrameHeadSize, width, height);
        if (frames[i])
            ++made;
    }

    if (info.data)
        ReadAnimationHotSpot(info.data, static_cast<std::int32_t>(info.size), width, height, m_HotX, m_HotY);

    m_Frames = std::move(frames);
    m_Count = static_cast<std::uint16_t>(m_Frames.size());
    m_Width = width;
    m_Height = height;
    return made;
}

// ---- TAnimationStruct --------------------------------------------------------------------------

TAnimationStruct::~TAnimationStruct()
{
    if (m_bOwnsSprites && m_pSprites)
        delete m_pSprites; // its destructor releases the frames
}

std::uint16_t TAnimationStruct::SetSprites(TAnimationSprites* sprites, bool ownsSprites)
{
    // A set this instance owned and is now replacing would otherwise never be freed.
    if (m_bOwnsSprites && m_pSprites && m_pSprites != sprites)
        delete m_pSprites;
    m_pSprites = sprites;
    m_bOwnsSprites = ownsSprites ? 1 : 0;
    m_EndFrame = SetCount();
    return m_EndFrame;
}

void TAnimationStruct::SetCoord(float _X, float _Y, const std::int16_t* heights)
{
    m_X = _X;
    m_Y = _Y;
    if (!m_pSprites)
        return; // nothing to size the quad by; the owner sets the sprites first
    const int cx = MapCoord(static_cast<double>(_X + m_pSprites->m_HotX));
    const int cy = MapCoord(static_cast<double>(_Y + m_pSprites->m_HotY));
    const TSpriteFrame frame{nullptr, m_pSprites->m_Width, m_pSprites->m_Height};
    switch (m_pSprites->m_Location) {
    case ANIMATION_LYING:
        SetSpriteCorners(cx, cy, frame, m_Corners);
        break;
    case ANIMATION_UPRIGHT:
        SetSpriteCornersUpright(cx, cy, frame, m_Corners);
        break;
    default:
        ReportError("CANT void TAnimationStruct::SetCoord(float _X,float _Y,short Z=32767) for default;");
        return;
    }
    if (heights)
        for (int i = 0; i < 4; ++i)
            m_Corners[i].h = heights[i];
}

bool TAnimationStruct::Advance()
{
    const int count = SetCount();
    if (!m_bReverse) {
        m_Position += m_Speed;
        if (m_Position < m_EndFrame && m_Position < count)
            return true;
        m_Position = m_FirstFrame;
    } else {
        m_Position -= m_Speed;
        if (m_Position >= m_FirstFrame && m_Position >= 0.0f)
            return true;
        m_Position = m_EndFrame ? static_cast<float>(m_EndFrame) : static_cast<float>(count - 1);
    }
    return false;
}

bool TAnimationStruct::Update()
{
    if (m_bFinished)
        return false;
    if (m_StartDelay > 0) {
        --m_StartDelay;
        return false;
    }
    if (Advance())
        return true;
    if (m_Repeat == 0)
        return true;
    if (--m_Repeat > 0)
        return true;
    m_bFinished = 1;
    return false;
}

int TAnimationStruct::CurrentFrame() const
{
    const int count = SetCount();
    if (count == 0 || !(m_Position >= 0.0f))
        return 0;
    if (m_Position >= static_cast<float>(count))
        return count - 1;
    return static_cast<int>(m_Position);
}

bool TAnimationStruct::IsVisible() const
{
    const float left = static_cast<float>(g_ViewPixelX);
    const float top = static_cast<float>(g_ViewPixelY);
    const float right = left + static_cast<float>(g_ScreenWidth);
    const float bottom = top + static_cast<float>(g_ScreenHeight);
    for (const TCornerPoint& p : m_Corners)
        if (p.x >= left && p.x <= right && p.y >= top && p.y <= bottom)
            return true;
    return false;
}

bool TAnimationStruct::IsInRect(const plat::Rect& rect) const
{
    return rect.left <= m_X && m_X <= rect.right && rect.top <= m_Y && m_Y <= rect.bottom;
}

void TAnimationStruct::Direction(float x, float y, float, float fromX, float fromY, float)
{
    SetCoord(x, y, nullptr);
    m_Angle = std::atan2(y - fromY, x - fromX) + kQuarterTurn;
}

void TAnimationStruct::DrawFrame(int index)
{
    if (!m_pSprites)
        return;
    const TSpriteFrame frame = m_pSprites->Frame(index);
    switch (m_pSprites->m_Location) {
    case ANIMATION_LYING:
        if (frame.texture)
            DrawQuadPoints(m_Corners, frame);
        break;
    case ANIMATION_UPRIGHT:
        if (frame.texture)
            DrawQuadPointsUpright(m_Corners, frame);
        break;
    default:
        ReportError("Unknown m_AnimationSprites->m_Location in void TAnimationStruct::Show()");
        m_bFinished = 1;
        break;
    }
}

void TAnimationStruct::Show()
{
    if (Update() && IsVisible())
        DrawFrame(CurrentFrame());
}

void TAnimationStruct::Show(std::uint32_t)
{
    if (!Update() || !IsVisible() || !m_pSprites)
        return;
    const int count = SetCount();
    if (!(m_Position > -1.0f) || m_Position >= static_cast<float>(count))
        return;
    int index = static_cast<int>(m_Position);
    while (index >= 0 && !m_pSprites->FrameTexture(index))
        --index;
    if (index < 0)
        return;
    const TSpriteFrame frame = m_pSprites->Frame(index);
    switch (m_pSprites->m_Location) {
    case ANIMATION_LYING:
        DrawQuadPoints(m_Corners, frame);
        break;
    case ANIMATION_UPRIGHT:
        DrawQuadPointsRotated(m_Corners, frame, m_X, m_Y, m_Angle);
        break;
    default:
        ReportError("Unknown m_AnimationSprites->m_Location in void TAnimationStruct::Show()");
        m_bFinished = 1;
        break;
    }
}

void TAnimationStruct::ShowEndless()
{
    if (m_bFinished || m_StartDelay > 0)
        return;
    Advance();
    if (IsVisible())
        DrawFrame(CurrentFrame());
}

bool TAnimationStruct::Save(TOfStreamMemory& out) const
{
    const std::int32_t start = out.Size();
    out.WriteU8(m_Type);
    out.WriteU16(m_Repeat);
    out.WriteF32(m_Speed);
    out.WriteU8(m_bOwnsSprites);
    out.WriteF32(m_Position);
    out.WriteF32(m_Factor);
    out.WriteU16(m_FirstFrame);
    out.WriteU16(m_EndFrame);
    out.WriteU16(m_StartDelay);
    out.WriteU8(m_bReverse);
    out.WriteU8(m_bFinished);
    out.WriteF32(m_X);
    out.WriteF32(m_Y);
    for (const TCornerPoint& p : m_Corners) {
        out.WriteF32(p.x);
        out.WriteF32(p.y);
        out.WriteF32(p.h);
    }
    return out.Ok() && out.Size() - start == ANIMATION_RECORD_SIZE;
}

bool TAnimationStruct::Load(TIfStreamMemory& in)
{
    std::uint8_t type = 0, owns = 0, reverse = 0, finished = 0;
    std::uint16_t repeat = 0, first = 0, end = 0, delay = 0;
    float speed = 0, position = 0, factor = 0, x = 0, y = 0;
    TSpriteCorners corners{};
    bool ok = in.ReadU8(type) && in.ReadU16(repeat) && in.ReadF32(speed) && in.ReadU8(owns) && in.ReadF32(position)
        && in.ReadF32(factor) && in.ReadU16(first) && in.ReadU16(end) && in.ReadU16(delay) && in.ReadU8(reverse)
        && in.ReadU8(finished) && in.ReadF32(x) && in.ReadF32(y);
    for (TCornerPoint& p : corners)
        ok = ok && in.ReadF32(p.x) && in.ReadF32(p.y) && in.ReadF32(p.h);
    if (!ok)
        return false;
    // The record names no set, so the loaded ownership flag must not meet a set that was attached
    // before: the owner attaches the right one after loading.
    if (m_bOwnsSprites && m_pSprites)
        delete m_pSprites;
    m_pSprites = nullptr;
    m_Type = type;
    m_Repeat = repeat;
    m_Speed = speed;
    m_bOwnsSprites = owns;
    m_Position = position;
    m_Factor = factor;
    m_FirstFrame = first;
    m_EndFrame = end;
    m_StartDelay = delay;
    m_bReverse = reverse;
    m_bFinished = finished;
    m_X = x;
    m_Y = y;
    m_Corners = corners;
    return true;
}

// ---- TAnimationBank ----------------------------------------------------------------------------

namespace {

// Reads folder + "Info.txt"; logs "FAILED:" with the path when it cannot.
bool ReadBankList(const std::string& folder, std::vector<std::uint8_t>& text)
{
    const std::string path = folder + kInfoName;
    if (!ReadGameFile(path.c_str(), text)) {
        ReportError2("FAILED:", path);
        return false;
    }
    return true;
}

std::uint8_t ReadSetCount(TIfStreamMemory& in)
{
    char word[COMMENTED_WORD_BUFFER];
    NextWord(in, word, sizeof word);
    return static_cast<std::uint8_t>(DecimalToInt(word));
}

// Returns the number of frames made.
int LoadSet(TAnimationSprites& set, const std::string& folder, const char* name)
{
    const std::string path = folder + name;
    return set.LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444, ANIMATION_ALL_FRAMES);
}

} // namespace

TAnimationBank::TAnimationBank(const char* folder, std::uint8_t loadNow)
    : m_Folder(folder ? folder : "")
{
    std::vector<std::uint8_t> text;
    if (!ReadBankList(m_Folder, text))
        return;
    TIfStreamMemory in(text.data(), static_cast<std::int32_t>(text.size()));
    m_Count = ReadSetCount(in);
    m_Sets.assign(m_Count, nullptr);
    if (!loadNow)
        return;
    for (int i = 0; i < m_Count; ++i) {
        char name[COMMENTED_WORD_BUFFER];
        NextWord(in, name, sizeof name);
        m_Sets[i] = new TAnimationSprites;
        LoadSet(*m_Sets[i], m_Folder, name);
    }
}

TAnimationBank::~TAnimationBank()
{
    for (TAnimationSprites* set : m_Sets)
        delete set;
}

bool TAnimationBank::Load(const char* folder, std::uint8_t index)
{
    if (index >= m_Count)
        return false;
    if (m_Sets[index])
        return true;
    const std::string dir = folder ? folder : "";
    std::vector<std::uint8_t> text;
    if (!ReadBankList(dir, text))
        return false;
    TIfStreamMemory in(text.data(), static_cast<std::int32_t>(text.size()));
    if (ReadSetCount(in) != m_Count)
        return false;
    char name[COMMENTED_WORD_BUFFER] = {};
    for (int i = 0; i <= index; ++i)
        if (!NextWord(in, name, sizeof name))
            return false; // the list names fewer sets than it counts
    auto set = std::make_unique<TAnimationSprites>();
    // A set without a single frame stays unloaded, so that the caller sees the failure and a
    // later call may try again.
    if (LoadSet(*set, dir, name) <= 0)
        return false;
    m_Sets[index] = set.release();
    return true;
}
