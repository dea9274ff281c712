#pragma once
// Animated map sprites: a set of ARGB 4444 frames shared by many instances (TAnimationSprites),
// one playing instance with its own frame position, repeats, direction and quad
// (TAnimationStruct, the base of the effect classes), and a folder of sets listed in its
// "Info.txt" (TAnimationBank).
#include <cstdint>
#include <string>
#include <vector>

#include "devices/quads.h"
#include "platform/types.h"

namespace plat {
class Texture;
}
class TIfStreamMemory;
class TOfStreamMemory;

// Frame entries of animation packs hold ARGB 4444 pixels; no other format exists.
constexpr std::uint8_t ANIMATION_FORMAT_4444 = 1;
// As the frame id of LoadAnimationFromArhive: every frame of the pack.
constexpr std::uint16_t ANIMATION_ALL_FRAMES = 0xFFFF;
// How instances of a set are placed.
constexpr std::uint8_t ANIMATION_LYING = 1;
constexpr std::uint8_t ANIMATION_UPRIGHT = 2;
// Size of TAnimationStruct's record in save games.
constexpr std::int32_t ANIMATION_RECORD_SIZE = 80;

class TAnimationSprites {
public:
    TAnimationSprites() = default;
    ~TAnimationSprites() { Release(); }
    TAnimationSprites(const TAnimationSprites&) = delete;
    TAnimationSprites& operator=(const TAnimationSprites&) = delete;

    // Opens the pack (a game path) in archive slot 303 and makes one texture per frame entry
    // (frameId: that entry alone, or ANIMATION_ALL_FRAMES). Returns the number of textures made;
    // missing or unusable entries leave null frames.
    std::int16_t LoadAnimationFromArhive(const char* _FileName, std::uint8_t _Format,
                                         std::uint16_t frameId = ANIMATION_ALL_FRAMES);
    // Releases every frame texture; count 0.
    void Release();
    // Takes textures made elsewhere as the set's frames (owned from now on; null entries stand for
    // missing frames), all drawn in width x height.
    void AdoptFrames(std::vector<plat::Texture*> frames, std::uint16_t width, std::uint16_t height);

    // Frame i as the quad drawers take it (a null texture for a missing frame or index).
    TSpriteFrame Frame(int i) const;
    plat::Texture* FrameTexture(int i) const
    {
        return i >= 0 && i < static_cast<int>(m_Frames.size()) ? m_Frames[i] : nullptr;
    }

    std::uint8_t m_Id = 0; // free for the owner
    std::uint16_t m_Count = 0;
    std::uint16_t m_Width = 0; // size of frame 0
    std::uint16_t m_Height = 0;
    std::uint8_t m_Location = ANIMATION_LYING;
    // Added to an instance's position to get the centre of its quad.
    std::int16_t m_HotX = 0;
    std::int16_t m_HotY = 0;

private:
    std::vector<plat::Texture*> m_Frames; // m_Count entries, owned; null where a frame is missing
};

// Reads the hot spot of a pack's "Info.txt": the picture point (first two tokens, read like atoi)
// that lands on the instance's position, as the offset from that position to the quad's centre.
void ReadAnimationHotSpot(const std::uint8_t* text, std::int32_t size, std::uint16_t width, std::uint16_t height,
                          std::int16_t& hotX, std::int16_t& hotY);

class TAnimationStruct {
public:
    TAnimationStruct() = default;
    TAnimationStruct(const TAnimationStruct&) = delete;
    TAnimationStruct& operator=(const TAnimationStruct&) = delete;

    // The virtual operations stand in the order the effect classes expect of their base.
    // Frees the set (with its frames) when the instance owns it.
    virtual ~TAnimationStruct();
    // Returns the set's frame count, which becomes the end frame.
    virtual std::uint16_t SetSprites(TAnimationSprites* sprites, bool ownsSprites);
    // heights: four corner heights in quad order in place of the ground's, or null.
    virtual void SetCoord(float _X, float _Y, const std::int16_t* heights = nullptr);
    // Turned drawing (upright sets are turned by m_Angle about the position); the argument is unused.
    virtual void Show(std::uint32_t unused);
    // Normal drawing: advances with Update and draws the current frame when it is visible.
    virtual void Show();
    // Endless drawing: advances and wraps without counting repeats.
    virtual void ShowEndless();

    // Advances the frame position; true when a frame is to be drawn, false while the start delay
    // runs and once the last repeat has ended.
    bool Update();
    // Whether a corner of the quad lies on the screen (edges included).
    bool IsVisible() const;
    // Whether the position lies inside rect, all four edges included.
    bool IsInRect(const plat::Rect& rect) const;
    // Places the instance at (x, y) turned away from (fromX, fromY). The heights are unused.
    void Direction(float x, float y, float z, float fromX, float fromY, float fromZ);

    // The 80-byte record of save games. The set and the angle are not kept; the owner sets the
    // sprites again after loading.
    bool Save(TOfStreamMemory& out) const;
    // false (and nothing changed) when the stream ends before the record does.
    bool Load(TIfStreamMemory& in);

    // The index of the frame the position stands on, inside the set's frames (0 without frames).
    int CurrentFrame() const;

    float m_X = 0.0f;
    float m_Y = 0.0f;
    std::uint8_t m_Type = 0; // for the owner
    TAnimationSprites* m_pSprites = nullptr;
    std::uint8_t m_bOwnsSprites = 0;
    std::uint16_t m_Repeat = 1; // plays left; 0 = endless
    float m_Speed = 1.0f;       // frame positions per update
    float m_Position = 0.0f;
    float m_Factor = 1.0f; // for the owner
    std::uint16_t m_FirstFrame = 0;
    std::uint16_t m_EndFrame = 0; // exclusive going forward
    std::uint16_t m_StartDelay = 0;
    std::uint8_t m_bReverse = 0;
    std::uint8_t m_bFinished = 0;
    float m_Angle = 0.0f; // radians, for the turned drawing
    TSpriteCorners m_Corners{};

protected:
    // Update's steps 2 and 3: moves the position and wraps it; true when it stayed in the loop.
    bool Advance();
    // Draws frame index with the lying or upright drawer; an unknown placement finishes the instance.
    void DrawFrame(int index);
    std::uint16_t SetCount() const { return m_pSprites ? m_pSprites->m_Count : 0; }
};

class TAnimationBank {
public:
    // folder ends with a backslash; with loadNow every set listed in its "Info.txt" is loaded.
    TAnimationBank(const char* folder, std::uint8_t loadNow);
    virtual ~TAnimationBank();
    TAnimationBank(const TAnimationBank&) = delete;
    TAnimationBank& operator=(const TAnimationBank&) = delete;

    // Loads set index on demand. false when the list cannot be read, no longer matches the bank,
    // the index is beyond it or the pack gave no frame.
    bool Load(const char* folder, std::uint8_t index);

    std::uint8_t Count() const { return m_Count; }
    // Set index, or null when it is not loaded or beyond the bank.
    TAnimationSprites* Set(int index) const
    {
        return index >= 0 && index < m_Count ? m_Sets[index] : nullptr;
    }
    const std::string& Folder() const { return m_Folder; }

private:
    std::vector<TAnimationSprites*> m_Sets; // m_Count entries, owned
    std::uint8_t m_Count = 0;
    std::string m_Folder;
};
