#pragma once
// Drawing units: the body sprite of a unit's work, orientation and frame from its type's graphics,
// the shadow of aircraft, the player-colour overlay, the turning parts and attached animations in
// the order the facing asks for, the selection signs and group number, and dead units with the
// wrecks of aircraft. The map scene calls TBasicUnit::Draw and DrawDead (unit_types.h) with the
// depth test on and depth writing off; the rules are written down in docs/architecture.md.
//
// Main thread only. A work's frames are read only where the loader thread has set their loaded
// flag (unit_graphics.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "devices/quads.h"

// Two display switches of the developer keys that unit drawing reads: a further sign over living
// selected units, and a 4 x 4 quad at each unit's point. Main thread only.
struct TDebugUnitMarks {
    std::uint8_t selectedSign = 0;
    std::uint8_t pointQuads = 0;
};
extern TDebugUnitMarks g_DebugUnitMarks;

class TUnit;
class TBasicUnit;
class TPicture;
class CTower;
struct TPartRecord;

// A unit standing on a trench piece is drawn this much lower while the trench option is on.
constexpr float UNIT_TRENCH_SINK = 40.0f;
// The depth value of the pictures of turning parts.
constexpr float UNIT_PART_DEPTH = 70.0f;
// The alpha of the ground picture under an aircraft wreck.
constexpr std::uint32_t UNIT_WRECK_ALPHA = 128;
// Unit types whose dead show a wreck picture on the ground first.
constexpr std::uint16_t UNIT_WRECK_TYPE_FIRST = 11;
constexpr std::uint16_t UNIT_WRECK_TYPE_LAST = 12;
constexpr int UNIT_WRECK_PICTURES = 4;
// Archive entry of a sprite list: the index plus this.
constexpr std::uint32_t SPRITE_LIST_ENTRY_BASE = 18;
constexpr int SPRITE_LIST_HEADINGS = 8;

// The textures unit drawing loads itself (docs/formats.md).
constexpr const char* UNIT_SELECT_SIGN_FILE = "Data\\Misc\\UnitSelect.444";
constexpr const char* UNIT_MARK_SIGN_FILE = "Data\\Misc\\UnitMark.444";
// Wreck picture i of unit type t: "Data\Misc\Wrecks\Wreck<t>_<i>.444".
constexpr const char* UNIT_WRECK_FOLDER = "Data\\Misc\\Wrecks\\";

// The depth of a point of a unit's sprite: 0.99999 - (camera base + 1024 + screen y + 2 x height +
// extra) / 4096, clamped to [0, 0.99999]. extra is the building term of units walking into or out
// of a building (0 otherwise).
float UnitDepth(float screenY, float height, float extra = 0.0f);
// The two rows of an upright quad: the bottom row at its own screen y, the top row as if it stood
// quadHeight lower, so that upright sprites lean toward the viewer in depth.
struct TUnitQuadDepth {
    float top = 0.0f;
    float bottom = 0.0f;
};
TUnitQuadDepth UnitQuadDepth(float bottomY, float quadHeight, float height, float extra = 0.0f);

// Which stored orientation (0..4) and frame draw a unit's facing (0..7): facings 5..7 are the
// stored 3..1 mirrored; in the turning work (5) and in work 0 of air types they are the stored
// 2..0 mirrored with the frames run backwards, because those animations sweep from one facing
// toward the next.
struct TUnitOrient {
    int stored = 0;
    bool mirrored = false;
    int frame = 0;
};
// false for a facing outside 0..7 or a frame outside 0..frameCount - 1 (before or after the
// reversal); out is then orientation 0, frame 0.
bool MapUnitOrient(int orient, int work, bool air, int frame, int frameCount, TUnitOrient& out);

// The share (0..1) of the building term of a unit walking into (works 2 and 6) or out of (works 9
// and 5) a building: how far it has come from its start point toward its goal. A start point on
// the goal counts as fully inside when entering and fully outside when leaving.
float EnteringShare(const TUnit& unit);

// An owned list of pictures: count pictures for each of the eight headings.
class TSpriteList {
public:
    TSpriteList();
    ~TSpriteList();
    TSpriteList(const TSpriteList&) = delete;
    TSpriteList& operator=(const TSpriteList&) = delete;

    // Reads archive entry index + 18 of the slot. false (and an empty list) when it cannot be read
    // or is malformed.
    bool Load(std::uint32_t slot, std::uint32_t index);
    // The entry's bytes: u8 count, then 8 x count pictures (the layout of TPicture). false (logged,
    // list empty) when a picture is cut short or bytes are left over.
    bool LoadFromMemory(std::span<const std::uint8_t> entry);
    // Deletes every picture and clears the count and the loaded flag.
    void Clear();

    bool IsLoaded() const { return m_bLoaded != 0; }
    std::uint8_t Count() const { return m_Count; }
    // Picture i of the 8 x count, null beyond them or when nothing is loaded.
    const TPicture* Picture(int i) const;

private:
    std::unique_ptr<TPicture[]> m_Pictures;
    std::uint8_t m_Count = 0;
    std::uint8_t m_bLoaded = 0;
};

// Draws one turning part at the unit's screen point (x, y) for the unit's angle, and the firing
// effects of its barrels. Parts that only turn with the unit (mode 0) are part of its picture.
void DrawUnitPart(TPartRecord* part, CTower* tower, float x, float y, float unitAngle);
// Places attached animation i of the unit between its two points, turned with the unit.
void PlaceAttachedAnimation(TUnit* unit, int i);
// Places and draws each of the unit's attached animations.
void DrawAttachedAnimations(TUnit* unit);

// The drawing of a unit whose body another class draws (ships): turning parts and attached
// animations in the order the facing asks for, the body through the callback at the unit's screen
// point (x, foot y, height for the depth), then the signs.
void DrawUnitAround(TUnit* unit, const std::function<void(float x, float footY, float height)>& body);
// The quad colour of a player-colour overlay.
std::uint32_t UnitPlayerTint(std::uint8_t player);

// What unit drawing reaches of the device: tests put recording stand-ins here.
struct TUnitDrawServices {
    // One textured quad; with diffuseAlpha the quad's diffuse alpha sets its translucency.
    std::function<void(plat::Texture*, const TScreenQuad&, bool diffuseAlpha)> drawQuad;
    // Linear (true) or point (false) texture magnification.
    std::function<void(bool linear)> setLinearFilter;
    // The textured digits of a group number (DrawNumberTextured).
    std::function<void(float x, float y, float height, long long value)> drawNumber;

    static TUnitDrawServices Default();
};
// The main thread sets them before drawing.
void SetUnitDrawServices(TUnitDrawServices services);

// The selection signs and wreck pictures: loaded on first need (a missing file is logged once)
// and freed by UnitDone or when a test wants them read again.
void FreeUnitDrawTextures();
// The textures (null where a file is missing), loading them first when needed.
plat::Texture* UnitSelectSignTexture();
plat::Texture* UnitMarkSignTexture();
plat::Texture* UnitWreckTexture(std::uint16_t unitType, int picture);
