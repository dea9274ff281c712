#pragma once
// Map objects (trees, stones, miscellaneous objects) and the placement preview of a building site.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace plat {
class Texture;
}

// Under g_InputLock (a right release on the mouse thread cancels the site).
// -1 no site is being chosen, -2 a trench or pontoon line, else the building type being placed.
extern std::int16_t g_PlacingHouseType;

constexpr int OBJ_TREES = 0;
constexpr int OBJ_STONES = 1;
constexpr int OBJ_MISC = 2;
constexpr int OBJ_KINDS = 3;
constexpr int MAP_OBJECT_RECORD_SIZE = 56;
constexpr int MAP_OBJECT_TEXTURE_SIDE = 256;
constexpr int MAP_OBJECT_TEXTURE_BYTES = MAP_OBJECT_TEXTURE_SIDE * MAP_OBJECT_TEXTURE_SIDE * 2;
constexpr std::uint8_t MAP_OBJECT_NO_PICTURE = 255;

// One object record; raw keeps all 56 bytes as stored.
struct TMapObjectRecord {
    std::uint8_t classByte = 0;
    std::uint8_t listWidth = 0;
    std::uint8_t listHeight = 0;
    std::uint8_t texture = MAP_OBJECT_NO_PICTURE;
    float u0 = 0, u1 = 0, v0 = 0, v1 = 0;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::int16_t xOffset = 0;
    std::int16_t yOffset = 0;
    // The shadow drawn under the object: texture 255 none.
    std::uint8_t shadowTexture = MAP_OBJECT_NO_PICTURE;
    float shadowU0 = 0, shadowU1 = 0, shadowV0 = 0, shadowV1 = 0;
    std::uint8_t shadowWidth = 0;
    std::uint8_t shadowHeight = 0;
    std::int16_t shadowX = 0;
    std::int16_t shadowY = 0;
    std::uint8_t raw[MAP_OBJECT_RECORD_SIZE] = {};
};
TMapObjectRecord ReadMapObjectRecord(const std::uint8_t* record56);
// Writes the known fields over the other bytes of raw.
void WriteMapObjectRecord(std::uint8_t* record56, const TMapObjectRecord& record);

extern std::uint16_t g_ObjCount[OBJ_KINDS];
extern std::vector<TMapObjectRecord> g_ObjRecords[OBJ_KINDS];
extern std::uint8_t g_ObjTextureCount[OBJ_KINDS];
extern std::vector<plat::Texture*> g_ObjTextures[OBJ_KINDS];
extern plat::Texture* g_pPlacementTexture;
// The ghost's pulse: alpha 100..200 and its step direction.
extern std::uint8_t g_PlacementAlpha;
extern std::int8_t g_PlacementAlphaStep;

// Opens Data\Objects\Objects.les as slot 301 and loads the three kinds; the slot is closed again on
// every path.
bool LoadObjects();
// Kind k from the archive open in slot 301.
bool LoadObjectBlock(int kind);
// The records and textures of an entry image; false (logged) when the sizes do not match.
bool ParseObjectBlock(std::span<const std::uint8_t> entry, std::vector<TMapObjectRecord>& records,
                      std::uint8_t& textureCount, std::span<const std::uint8_t>& texturePixels);
void FreeObjects();

// Next pulse step of the ghost image; returns the new alpha.
std::uint8_t StepPlacementPulse();
// The cells the type-15 building works on, from its footprint bytes and the cursor cell, in visit order.
struct TCellXY {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
std::vector<TCellXY> WorkRingCells(TCellXY cursor, std::uint8_t footprintW, std::uint8_t footprintD);

// What the preview needs of a building type: the size of its picture, the picture's offset from
// the building's reference point, and its two footprint bytes.
struct TPlacementGeometry {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t xOffset = 0;
    std::int16_t yOffset = 0;
    std::uint8_t footprintW = 0;
    std::uint8_t footprintD = 0;
};

// The house type whose fields ring the preview shows.
constexpr std::int16_t PLACEMENT_RING_TYPE = 15;
// The ghost's colour: the pulse's alpha over white where the building may stand, red where not.
std::uint32_t PlacementColour(std::uint8_t alpha, bool allowed);
// The ghost's top-left screen corner for the cursor cell, the picture's offsets and the cell's height.
struct TScreenXY {
    float x = 0.0f;
    float y = 0.0f;
};
TScreenXY PlacementGhostCorner(TCellXY cursor, std::int16_t xOffset, std::int16_t yOffset, std::int32_t cellHeight);
// The nation group whose ring picture a nation uses: nations 0 and 2, nation 1, nations 3 and 4.
int RingNationGroup(int nation);

// Building rules and graphics the preview needs from the house subsystem.
struct TPlacementServices {
    std::function<bool(int player, TCellXY cell, int type, int nation)> CanBuildHouseAt;
    std::function<bool(int player, int type)> CanAffordHouse;
    // 0 not loaded (the call asks for it), 2 loading, else ready.
    std::function<int(int type, int nation)> PhaseGraphicState;
    // Draws the type's build-phase picture into a locked 4444 texture; false when it cannot.
    std::function<plat::Texture*(int type, int nation)> MakePlacementTexture;
    std::function<void(int player)> DrawTrenchPathPreview;
    std::function<bool(int player)> HasLineStart;
    std::function<void(std::uint16_t type)> ReleasePhaseGraphic;
    // The type's picture size, offsets and footprint; false when the type has none.
    std::function<bool(int type, int nation, TPlacementGeometry& out)> Geometry;
    // Waits while the loader thread works on the graphic.
    std::function<void(std::uint32_t ms)> Sleep;
    std::function<bool(TCellXY cell)> IsOnWater;
    // Draws the ring picture of a nation group with its centre at the screen point.
    std::function<void(int nationGroup, float x, float y)> DrawRingCell;
    // Draws the ghost texture at the screen rectangle in the colour.
    std::function<void(plat::Texture* texture, float x, float y, float width, float height, std::uint32_t colour)> DrawGhost;
};
TPlacementServices& PlacementServices();
TPlacementServices DefaultPlacementServices();
// The default drawers of the preview: the ghost as a colour-keyed quad whose alpha and tint come from
// the colour, and a ring cell as a translucent green diamond-sized quad on the map's white texture.
void DrawPlacementGhost(plat::Texture* texture, float x, float y, float width, float height, std::uint32_t colour);
void DrawPlacementRingCell(int nationGroup, float x, float y);

// The placement preview for the local player: -3 trench or pontoon line being dragged, -2 the line
// of the second trench system, else a house type of the nation. A type other than the one drawn
// last frame gives back the previous ghost and requests a full view rebuild (the landscape tints
// the cells the building may stand on).
bool DrawObjects(std::int16_t what, std::uint8_t nation);
// The house type the preview showed last (-1 none). Main thread only.
extern std::int16_t g_PlacementDrawnType;
// No building is being placed any more: the ghost is given back and the tint leaves the view.
void EndPlacementPreview();

// Gives back the local player's reference on the build-phase graphic of the house type.
void ReleaseHousePhaseGraphic(std::uint16_t type);
