#include "units/anim_slots.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "platform/bytes.h"
#include "platform/texture.h"

TAnimationSlot g_Animations[ANIMATION_SLOT_COUNT];
TAnimationStruct g_FixedAnimations[FIXED_ANIMATION_COUNT];

namespace {

// Slots whose animations run slower than their list says.
constexpr struct {
    int slot;
    float step;
} kForcedSteps[] = {{17, 0.01f}, {18, 0.01f}, {15, 0.01f}, {16, 0.01f}, {5, 0.005f}, {6, 0.005f}};

void BindFixedAnimation(int instance)
{
    TAnimationSlot& slot = g_Animations[kFixedAnimationSlots[instance]];
    TAnimationStruct& a = g_FixedAnimations[instance];
    a.SetSprites(&slot.m_Sprites, false);
    a.m_Position = 0.0f;
    a.m_Speed = slot.m_FrameStep;
    a.m_Repeat = 0; // map objects animate for ever
}

// Entry id + 1 of the slot's archive as a texture, or null.
plat::Texture* LoadFrame(TAnimationSlot& slot, std::uint16_t id)
{
    std::uint32_t size = 0;
    std::uint8_t* data = LoadLesEntry(LES_SLOT_ANIMATION, nullptr, id, &size);
    if (!data)
        return nullptr;
    plat::Texture* texture = nullptr;
    const std::uint16_t w = size >= 3 ? data[0] : 0;
    const std::uint16_t h = size >= 3 ? data[2] : 0;
    const std::uint32_t pixelBytes = std::uint32_t{w} * h * 2;
    if (w > 0 && h > 0 && (size == pixelBytes + ANIMATION_RAW_FRAME_HEAD || size == pixelBytes + 4)) {
        // The short form lacks its last two pixels; they stay transparent. A frame of one pixel
        // in that form is shorter than the head and brings no pixel at all.
        std::vector<std::uint8_t> pixels(pixelBytes, 0);
        constexpr auto head = static_cast<std::uint32_t>(ANIMATION_RAW_FRAME_HEAD);
        if (size > head)
            std::memcpy(pixels.data(), data + head, std::min(size - head, pixelBytes));
        texture = CreateTexture4444(pixels.data(), w, h);
        if (texture) {
            slot.m_FrameWidth = w;
            slot.m_FrameHeight = h;
        }
    } else {
        texture = CreateTextureFromBmpMemory({data, size});
    }
    FreeLesEntry(data);
    return texture;
}

} // namespace

void TAnimationSlot::Release()
{
    m_Sprites.Release();
    m_bLoaded = 0;
}

void TAnimationSlot::Reset()
{
    Release();
    std::memset(m_Name, 0, sizeof m_Name);
    m_Mode = 0;
    m_FrameStep = 1.0f;
    m_FrameCount = 0;
    m_FrameWidth = m_FrameHeight = ANIMATION_DEFAULT_FRAME_SIZE;
    m_OffsetX = m_OffsetY = 0;
}

TAnimationStruct* FixedAnimationForObject(std::uint16_t objectCode)
{
    switch (objectCode) {
    case 9694: return &g_FixedAnimations[0];
    case 9695: return &g_FixedAnimations[1];
    case 9696: return &g_FixedAnimations[4];
    case 9697: return &g_FixedAnimations[5];
    case 9698: return &g_FixedAnimations[6];
    case 9699: return &g_FixedAnimations[7];
    case 9601: return &g_FixedAnimations[2];
    case 9602:
    case 9603: return &g_FixedAnimations[3];
    default: return nullptr;
    }
}

bool ParseAnimationList(std::span<const std::uint8_t> file)
{
    if (file.size() < 4) {
        ReportError("Data\\Animation.anf: the record count is missing");
        return false;
    }
    std::int32_t count = plat::ReadI32LE(file.data());
    if (count < 0 || count > ANIMATION_SLOT_COUNT) {
        ReportError("Data\\Animation.anf: " + std::to_string(count) + " records for "
                    + std::to_string(ANIMATION_SLOT_COUNT) + " slots");
        count = std::clamp(count, 0, ANIMATION_SLOT_COUNT);
    }
    const std::size_t whole = (file.size() - 4) / ANF_RECORD_SIZE;
    if (whole < static_cast<std::size_t>(count)) {
        ReportError("Data\\Animation.anf: the list ends after " + std::to_string(whole) + " of "
                    + std::to_string(count) + " records");
        count = static_cast<std::int32_t>(whole);
    }
    for (int i = 0; i < ANIMATION_SLOT_COUNT; ++i) {
        TAnimationSlot& slot = g_Animations[i];
        slot.Reset();
        if (i >= count)
            continue;
        const std::uint8_t* r = file.data() + 4 + static_cast<std::size_t>(ANF_RECORD_SIZE) * i;
        const std::size_t nameLength = ::strnlen(reinterpret_cast<const char*>(r), ANF_NAME_SIZE - 1);
        const std::string name = std::string(ANIMATION_SLOT_FOLDER)
                               + std::string(reinterpret_cast<const char*>(r), nameLength) + ".les";
        std::memcpy(slot.m_Name, name.c_str(), std::min(name.size() + 1, sizeof slot.m_Name));
        slot.m_Mode = r[30];
        slot.m_FrameStep = plat::ReadF32LE(r + 32);
        slot.m_FrameCount = r[36];
        slot.m_FrameWidth = plat::ReadU16LE(r + 38);
        slot.m_FrameHeight = plat::ReadU16LE(r + 40);
        slot.m_OffsetX = plat::ReadU16LE(r + 42);
        slot.m_OffsetY = plat::ReadU16LE(r + 44);
    }
    for (const auto& forced : kForcedSteps)
        g_Animations[forced.slot].m_FrameStep = forced.step;
    for (int i = 0; i < FIXED_ANIMATION_COUNT; ++i)
        BindFixedAnimation(i);
    return true;
}

bool LoadAnimationList()
{
    std::vector<std::uint8_t> file;
    if (!ReadGameFile(ANIMATION_LIST_PATH, file)) {
        ReportError("Cant open Data\\Animations.anf");
        return false;
    }
    return ParseAnimationList(file);
}

void LoadAnimation(TAnimationSlot& slot)
{
    slot.Release();
    slot.m_bLoaded = 1;
    CloseLes(LES_SLOT_ANIMATION);
    if (!Load_LesHeader(LES_SLOT_ANIMATION, slot.m_Name)) {
        slot.m_FrameCount = 0;
        ReportError2("animation file load failed in ", slot.m_Name);
        return;
    }
    std::vector<plat::Texture*> frames;
    frames.reserve(slot.m_FrameCount);
    for (int i = 0; i < slot.m_FrameCount; ++i) {
        plat::Texture* frame = LoadFrame(slot, static_cast<std::uint16_t>(i + 1));
        if (!frame) {
            ReportError2("Animation load failed in ", slot.m_Name);
            break;
        }
        frames.push_back(frame);
    }
    CloseLes(LES_SLOT_ANIMATION);
    slot.m_Sprites.AdoptFrames(std::move(frames), slot.m_FrameWidth, slot.m_FrameHeight);
    // The fixed instances bound to the slot learn its new frame count.
    for (int i = 0; i < FIXED_ANIMATION_COUNT; ++i)
        if (&g_Animations[kFixedAnimationSlots[i]] == &slot)
            BindFixedAnimation(i);
}

void LoadAnimation(int slotIndex)
{
    if (slotIndex >= 0 && slotIndex < ANIMATION_SLOT_COUNT)
        LoadAnimation(g_Animations[slotIndex]);
}

bool FreeAnimations()
{
    for (TAnimationSlot& slot : g_Animations)
        slot.Release();
    return true;
}
