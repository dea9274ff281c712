#pragma once
// Trenches and pontoons: the list of dug works that sit on map tiles. Each entry owns one tile and
// stands in the object map as 9700 + its index. Pontoon pieces (kinds 20, 21) are laid as lines by
// the players and drawn here; trench pieces (kinds 1..10) are laid along a shaped path. Workers
// finish a piece, blasts wear it down, and the list travels in map files and save games.
//
// Threads: main thread only (the game cycle, the frame's drawing and placement preview).
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/types.h"

class TIfStreamMemory;
class TOfStreamMemory;
struct TResourcePair;
namespace plat {
class Texture;
}

constexpr std::uint16_t kTrenchListGrowth = 300;
// Object codes 9700..10999 name the entries, so the list never holds more.
constexpr std::uint16_t kTrenchListMaxEntries = 1300;
constexpr std::uint8_t kTrenchKindEmpty = 255;
constexpr std::uint8_t kPontoonKindRising = 20;  // line steps in directions 1 and 3
constexpr std::uint8_t kPontoonKindFalling = 21; // line steps in directions 2 and 4
constexpr float kTrenchNewCountdown = 50.0f;
constexpr float kTrenchNewStrength = 1000.0f;
constexpr float kTrenchEmptyCountdown = 999999.0f;
constexpr float kTrenchEmptyStrength = 65535.0f;
// Strength a blast without an attacker record takes off a finished piece.
constexpr float kTrenchDefaultWear = 200.0f;
constexpr double kTrenchPieceWood = 300.0;
// The line walk's step list.
constexpr int kTrenchWalkMaxTiles = 1000;
constexpr int kTrenchDiagonalMaxPieces = 901;
// One entry of the list block on disk.
constexpr int kTrenchBlockEntryBytes = 14;
constexpr int kTrenchGraphicKinds = 22;
constexpr int kTrenchBuildFrames = 4;
constexpr std::uint16_t kTrenchSpriteSide = 128;
constexpr int kTrenchSpriteHeight = 56;
constexpr const char* kTrenchGraphicsPath = "Data\\Misc\\TrenchAndPonton.les";

struct TTrenchEntry {
    std::uint16_t x = 65535;
    std::uint16_t y = 65535;
    std::uint8_t kind = kTrenchKindEmpty;
    std::uint8_t active = 0;
    // Workers lower it by 1.0 a tick; below 0 the piece is finished.
    float countdown = kTrenchEmptyCountdown;
    float strength = kTrenchEmptyStrength;
};

// Per kind 0..21: the main picture and up to four building frames.
struct TTrenchGraphics {
    plat::Texture* main[kTrenchGraphicKinds] = {};
    plat::Texture* frames[kTrenchGraphicKinds][kTrenchBuildFrames] = {};
    std::uint8_t frameCount[kTrenchGraphicKinds] = {};
};

// What the list asks of subsystems that are not built yet; tests put recording stand-ins here.
struct TTrenchServices {
    std::function<TResourcePair*(std::uint8_t player)> PlayerWood;
    std::function<bool(std::uint8_t player)> CanAffordTrench;
    std::function<void(const plat::Point& where, std::uint16_t radius)> MakePartOfBasicMap;
};
TTrenchServices& TrenchServices();
TTrenchServices DefaultTrenchServices();

// One tile of a line walk and the direction (1..4) that belongs to it.
struct TTrenchLineTile {
    plat::Point tile;
    std::uint8_t direction = 0;
};

// One step on the staggered grid from pos toward target: the direction taken (0 when pos is the
// target), pos moved by it.
std::uint8_t LineStep(plat::Point& pos, const plat::Point& target);
// The tiles from `from` to `to` by LineStep, both included, at most kTrenchWalkMaxTiles. A tile's
// direction is that of the step leaving it, the last tile's that of the step reaching it; a walk of
// one tile has direction 0.
std::vector<TTrenchLineTile> TrenchLineWalk(const plat::Point& from, const plat::Point& to);
// The pontoon piece laid on a line tile of this direction (a one-tile line lays kind 20).
std::uint8_t PontoonKindForDirection(std::uint8_t direction);
// The map pixel point of a tile's left corner, without its height.
plat::Point TrenchTilePixel(const plat::Point& tile);

class TTrenchList {
public:
    TTrenchList();
    ~TTrenchList();
    TTrenchList(const TTrenchList&) = delete;
    TTrenchList& operator=(const TTrenchList&) = delete;

    // The new entry (valid until the list grows again), or null when the tile refuses the piece or
    // the list is full.
    TTrenchEntry* AddTrenchEntry(std::uint8_t kind, std::int32_t x, std::int32_t y);
    bool CanPlaceTrench(std::uint8_t kind, std::int32_t x, std::int32_t y) const;
    // Codes 9700..10999 of a pontoon entry (kinds 20 and 21).
    bool IsTrenchObjectCode(std::uint16_t code) const;
    static bool IsPointNearScreen(const plat::Point& tile);

    // Lays a pontoon line from the tile under the map pixel to the start tile, 300 wood a piece.
    void DigTrenchLine(std::uint8_t player, float pixelX, float pixelY, std::int32_t startX, std::int32_t startY);
    // Draws the pieces DigTrenchLine would lay from the tile under the pixel to the start tile;
    // changes nothing (the player's spendable wood comes back to exactly what it was).
    void PlaceTrenchPath(std::uint8_t player, float pixelX, float pixelY, const plat::Point& start);
    // Lays a shaped line of trench pieces from s to e without cost.
    void TrenchFindPath(const plat::Point& s, const plat::Point& e);
    // The shaped line TrenchFindPath lays, in order: {kind, tile}, the caps first and last.
    struct TPlannedPiece {
        std::uint8_t kind = 0;
        plat::Point tile;
    };
    static std::vector<TPlannedPiece> PlanTrenchPath(const plat::Point& s, const plat::Point& e);
    // Standing points in the trench pieces around a tile; returns how many were written.
    int TrenchPontoonStep(const plat::Point& tile, plat::Point* points, int max) const;
    // A blast on a pontoon piece; attackerDamage is the damage the attacker's record carries.
    void TrenchWearDown(TTrenchEntry* entry, const plat::Point& tile, std::optional<float> attackerDamage);

    void DrawTrenchPontoons();
    // Opens the archive in slot 310 and makes the textures of every kind; closes the slot again.
    bool LoadTrenchGraphics(const char* path);
    void FreeTrenchGraphics();
    const TTrenchGraphics& Graphics() const { return m_Graphics; }

    // The list block: u16 capacity, u16 count, count entries of 14 bytes. A bad block is refused
    // whole and leaves the list as it was.
    bool LoadTrenchList(TIfStreamMemory& in);
    // Reads the block without keeping anything: false (logged) when LoadTrenchList would refuse it.
    static bool CheckTrenchList(TIfStreamMemory& in);
    bool SaveTrenchList(TOfStreamMemory& out) const;

    // Empties the list (capacity 300, every slot empty); the graphics stay.
    void Clear();
    std::uint16_t Count() const { return m_Count; }
    std::uint16_t Capacity() const { return m_Capacity; }
    // Entry index, or null past the entries in use.
    TTrenchEntry* Entry(std::uint16_t index);
    const TTrenchEntry* Entry(std::uint16_t index) const;
    // The entry an object code names, or null for other codes and codes past the entries in use.
    TTrenchEntry* EntryForCode(std::uint16_t code);
    const TTrenchEntry* EntryForCode(std::uint16_t code) const;

private:
    bool EnsureGraphics();
    void DrawPontoon(const TTrenchEntry& entry, plat::Texture* texture);

    std::vector<TTrenchEntry> m_Entries; // capacity slots
    std::uint16_t m_Count = 0;
    std::uint16_t m_Capacity = 0;
    TTrenchGraphics m_Graphics;
    bool m_GraphicsTried = false;
    bool m_GraphicsLoaded = false;
};

// The one list, for the program's run. Main thread only.
extern TTrenchList g_TrenchList;

// The placement preview of a pontoon line for a player: from the tile under the cursor to the tile
// of the player's stored press point.
void DrawTrenchLinePreview(int player);
// Whether the player has stored the press point a pontoon line starts from.
bool HasTrenchLineStart(int player);
