#pragma once
// Ship graphics: a ship type's hull, construction and wreck pictures, kept in parts that the
// loader thread loads on demand, and the hull geometry read from the type's archive.
//
// Hand-over between the threads: the main thread sets a part's state to requested before it
// queues the load; the loader thread fills the part's frames and then stores loaded or failed
// with release order. The main thread reads the state with acquire order, touches the frames only
// when it reads loaded, and frees a part only when its state is loaded or failed. A part's use
// count is main thread only.
#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "combat/ship_geometry.h"
#include "units/unit_types.h"
#include "units/unit.h"
#include "combat/tower.h"
#include "devices/picture.h"

class TUnit;

// Archive units to world pixels.
constexpr float SHIP_POINT_SCALE = 3.4105608f;
constexpr std::uint8_t SHIP_PART_HULL = 0;
constexpr std::uint8_t SHIP_PART_CONSTRUCTION = 1;
constexpr std::uint8_t SHIP_PART_WRECK = 2;
constexpr int SHIP_PART_COUNT = 18;
// Part states. A part whose entry cannot be read ends failed: it counts as loaded and empty, so
// nothing waits for it.
constexpr std::uint32_t SHIP_PART_NOT_LOADED = 0;
constexpr std::uint32_t SHIP_PART_REQUESTED = 1;
constexpr std::uint32_t SHIP_PART_LOADED = 2;
constexpr std::uint32_t SHIP_PART_FAILED = 3;
constexpr std::uint8_t SHIP_MAX_TOWERS = 16;
constexpr std::uint8_t SHIP_MAX_LAYERS = 3;
constexpr std::uint16_t SHIP_BOILING_ENTRY = 255;
constexpr std::uint8_t SHIP_LOAD_PRIORITY = 10;

// The frames of a loaded part: layer 0 the picture, layer 1 (when present) the player-colour
// overlay, layer 2 the shadow; pictures[layer * frameCount + frame].
struct TShipPartFrames {
    std::uint8_t frameCount = 0;
    std::uint8_t layerCount = 0;
    std::vector<std::unique_ptr<TPicture>> pictures;
    // The picture of a frame, the last frame for one beyond them; null for a missing layer.
    const TPicture* Picture(std::uint8_t layer, std::uint32_t frame) const
    {
        if (layer >= layerCount || frameCount == 0)
            return nullptr;
        const std::uint32_t f = frame < frameCount ? frame : frameCount - 1u;
        return pictures[static_cast<std::size_t>(layer) * frameCount + f].get();
    }
};

struct TShipPart {
    std::unique_ptr<TShipPartFrames> frames; // set by the loader before the state says loaded
    std::uint32_t uses = 0;                 // main thread only
    std::atomic<std::uint32_t> state{SHIP_PART_NOT_LOADED};
};

// A ship type's data: one per type, or shared by the types that name another type's graphics.
struct TShipData {
    std::uint32_t archiveSlot = 0; // nation * 50 + type
    std::uint8_t type = 0;
    std::uint8_t nation = 0;
    std::uint8_t layerCount = 1;
    std::uint8_t hullFrames = 1; // picture frames per 45 degrees of heading
    std::uint8_t constructionFrames = 1;
    std::uint8_t wreckFrames = 1;
    TShipPart parts[SHIP_PART_COUNT]; // hull 0..7, construction 8..9, wreck 10..17
    std::vector<TPartRecord> towers;
    std::vector<TShipVec3> keel;    // world pixels
    std::vector<TShipVec3> outline; // world pixels
    std::vector<std::uint8_t> tables[4];
    bool hasBoiling = false;
    std::int32_t boilingCount = 0;
    TShipVec3 boiling[2];
    std::uint32_t refs = 0; // types sharing this data (main thread)
};

// Reads entry 0 into data (the parts are left alone); logs and returns false for a bad record.
bool ParseShipRecord(std::span<const std::uint8_t> entry, TShipData& data);
// Reads entry 255 (the boiling line); false for a bad text.
bool ParseShipBoiling(std::span<const std::uint8_t> entry, TShipData& data);
// Reads a part entry; false (logged) for a bad one.
bool ParseShipPartEntry(std::span<const std::uint8_t> entry, TShipPartFrames& out);
// The archive entry a part is loaded from; 0 when the part does not exist.
std::uint16_t ShipPartEntryId(std::uint8_t kind, std::uint8_t index);

// The part record of (kind, index), null when there is none (kind 1 only for index 5 and 7).
TShipPart* GetShipPartSlot(TShipData* data, std::uint8_t kind, std::uint8_t index);
// Counts a use of a part and queues its load when it was not requested yet. false without a part.
bool GetShipPart(TShipData* data, std::uint8_t kind, std::uint8_t index);
// Drops a use; the last use of a loaded or failed part frees its frames.
void ReleaseShipPart(TShipData* data, std::uint8_t kind, std::uint8_t index);

// Loads the frames of one ship part (index is the part index + 1) and marks the part loaded or
// failed. Runs on the loader thread (or on the main thread when there is none).
void ShipPartsStep(TShipData* data, std::uint8_t partKind, std::uint8_t partIndex, std::uint32_t flags);

// What ship parts reach outside the module: tests put fakes here. Main thread sets them.
struct TShipPartServices {
    // Queues the load of part (kind, index + 1) for the loader thread.
    std::function<void(TShipData*, std::uint8_t, std::uint8_t)> request;
    // Reads an archive entry by id; the caller frees it with FreeLesEntry.
    std::function<std::uint8_t*(std::uint32_t slot, std::uint16_t id, std::uint32_t* size)> readEntry;
    // Blocks until the loader thread runs nothing.
    std::function<void()> waitIdle;
    // Lays foam along a line on the map (null: none).
    std::function<void(float x0, float y0, float x1, float y1, std::int32_t count)> boiling;
    static TShipPartServices Default();
};
extern TShipPartServices g_ShipPartServices;

// A dropped load request: the part ends failed so that nothing waits for it.
void ShipPartDropped(TShipData* data, std::uint8_t partKind, std::uint8_t partIndex);

class TBasicUnit;

// The unit-type class of ships: a unit type whose pictures come from its ship data.
class TShipGraphic : public TBasicUnit {
public:
    TShipGraphic() = default;
    ~TShipGraphic() override;
    bool LoadUnitGraphic(std::uint8_t type, std::uint8_t nation, const char* name) override;
    void FreeGraphic() override;
    void AddRef(std::uint8_t nation) override;
    void Release(std::uint8_t nation) override;
    TPartRecord* PartRecord(std::uint8_t i) override;
    std::uint8_t TurnSteps() override;
    void Draw(TUnit* unit) override;
    void DrawDead(TUnit* unit) override;
    void CreateAnimations(TAnimationStruct** array) override;

    // Clears the ship's part flags and takes the part it shows now.
    void InitShipParts(TUnit* unit);
    // Takes a part for drawing when nobody asked for it yet.
    void HoldForDrawing(std::uint8_t kind, std::uint8_t orient);
    void ReleaseDrawHolds();

    TShipData* m_pShipData = nullptr;
    bool m_bOwnsShipData = false;
    // Hull and wreck parts that drawing asked for itself (a ship placed by the map shows its hull
    // before it ever turns); held until the type's graphics are freed. Main thread only, and no
    // part of the simulation.
    std::uint8_t m_DrawHeld[2][UNIT_ORIENTS] = {};
};

// Builds (or finds) the ship data of archive slot type + nation * 50 from the open archive.
TShipData* LoadShipData(std::uint8_t type, std::uint8_t nation);

// Load state of one ship part of a ship type (kind 0 hull, 1 construction, 2 wreck; orientation
// 0..7): 0 not started, 1 loading, 2 loaded (a failed load reads as loaded).
std::uint8_t ShipPartState(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient);
// Takes a hold on one ship part and starts its load when it is not loaded yet.
void GetShipPart(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient);
// Gives back a unit's hold on one ship part.
void ReturnShipPart(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient);

// A new ship unit type object (the ship graphics class), filled by the parameter loader.
TBasicUnit* CreateShipUnitType();

// Where the ship's point lies in its pictures (the type's sprite box).
struct TShipOrigin {
    float x = 0.0f;
    float y = 0.0f;
};
TShipOrigin ShipOriginOf(const TBasicUnit& type);
// Draws a frame's picture and overlay with the ship's point at the screen point (x, footY).
void DrawShipFrame(const TShipPartFrames* frames, std::uint32_t frame, const TShipOrigin& origin, float x, float footY,
                   float height, std::uint8_t player);
// Draws a ship being built at its map point: orientation 5 or 7 only.
void DrawBuild(TShipData* data, float angle, std::uint8_t stage, float x, float y, const TShipOrigin& origin = {},
               std::uint8_t player = 0);
// The foam of a sinking ship along its boiling line.
void AddShipBoiling(TShipData* data, float x, float y, std::uint8_t orient);

// The tables of ship drawing: 300 u16 values and a 6 x 6 grid of 32-byte entries.
bool MakeShipTable();
void FreeShipTables();
void SetShipGridValue(std::uint32_t value);
