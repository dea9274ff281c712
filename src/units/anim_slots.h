#pragma once
// The 50 animation slots whose frames are attached to buildings and to animated map objects,
// listed in "Data\Animation.anf", and the eight animated instances the map draws its animated
// objects with. A slot's frames are loaded on its first use and released at game end.
#include <cstdint>
#include <span>

#include "devices/animation.h"

constexpr int ANIMATION_SLOT_COUNT = 50;
constexpr int ANIMATION_SLOT_NAME_SIZE = 100;
constexpr std::int32_t ANF_RECORD_SIZE = 48;
constexpr int ANF_NAME_SIZE = 30;
constexpr const char* ANIMATION_LIST_PATH = "Data\\Animation.anf";
constexpr const char* ANIMATION_SLOT_FOLDER = "Data\\Objects\\Animation\\"; // + name + ".les"
constexpr std::uint16_t ANIMATION_DEFAULT_FRAME_SIZE = 64;
// A raw frame entry: u8 width at 0, u8 height at 2, then from offset 8 width x height ARGB 4444
// pixels. Entries written before the pixels were counted in full are 4 bytes shorter; their last
// two pixels are transparent.
constexpr std::int32_t ANIMATION_RAW_FRAME_HEAD = 8;

class TAnimationSlot {
public:
    TAnimationSlot() = default;
    TAnimationSlot(const TAnimationSlot&) = delete;
    TAnimationSlot& operator=(const TAnimationSlot&) = delete;

    // Releases the frames (count 0); the slot can be loaded again.
    void Release();
    // Back to the state of program start: no frames, no name, 64 x 64, step 1.0.
    void Reset();
    // Whether LoadAnimation ran since the last release (it may have made no frame).
    bool Loaded() const { return m_bLoaded != 0; }

    char m_Name[ANIMATION_SLOT_NAME_SIZE] = {}; // Data\Objects\Animation\ + record name + .les
    TAnimationSprites m_Sprites;                // the frames, once loaded
    std::uint32_t m_Mode = 0;
    float m_FrameStep = 1.0f;                   // frame positions per drawn frame
    std::uint8_t m_FrameCount = 0;
    std::uint16_t m_FrameWidth = ANIMATION_DEFAULT_FRAME_SIZE;
    std::uint16_t m_FrameHeight = ANIMATION_DEFAULT_FRAME_SIZE;
    std::uint16_t m_OffsetX = 0;
    std::uint16_t m_OffsetY = 0;
    std::uint8_t m_bLoaded = 0;
};

// Built at program start, destroyed at its end; only the main thread touches the slots.
extern TAnimationSlot g_Animations[ANIMATION_SLOT_COUNT];

// The animated instances of the map objects, bound to slots 17, 18, 8, 9, 15, 16, 5 and 6.
constexpr int FIXED_ANIMATION_COUNT = 8;
constexpr int kFixedAnimationSlots[FIXED_ANIMATION_COUNT] = {17, 18, 8, 9, 15, 16, 5, 6};
extern TAnimationStruct g_FixedAnimations[FIXED_ANIMATION_COUNT];
// The instance that draws a map object code: 9694-9699 (slots 17, 18, 15, 16, 5, 6), the oil point
// 9601 (slot 8) and the other resource points 9602, 9603 (slot 9); null for other codes.
TAnimationStruct* FixedAnimationForObject(std::uint16_t objectCode);

// Fills the slots from a list image: i32 count, then 48-byte records. A count beyond the 50 slots
// is clamped and a cut record ends the list (both logged); the slots after the list are reset.
// Binds the fixed instances. false only for an image too short to hold the count.
bool ParseAnimationList(std::span<const std::uint8_t> file);
// Reads "Data\Animation.anf"; false with "Cant open Data\Animations.anf" when it cannot be read.
bool LoadAnimationList();
// Loads a slot's frames from its archive (opened in archive slot 303 and closed again).
void LoadAnimation(TAnimationSlot& slot);
void LoadAnimation(int slotIndex);
// Releases the frames of all 50 slots.
bool FreeAnimations();
