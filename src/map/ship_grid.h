#pragma once
// The ships' grid: one byte per 96 x 48-pixel cell of the map's pixel plane saying where a ship
// may be. Cell (c, r) lies over map tile (c, 2r + 1). Part of the simulation: it changes only
// through rebuilds and the tag operations below, and the tags are refreshed once per game cycle.
#include <cstdint>
#include <vector>

class TUnit;
class TWaterMap;

constexpr std::uint8_t SHIP_CELL_FREE = 0;
constexpr std::uint8_t SHIP_CELL_BLOCKED = 10; // land, house, trench or pontoon nearby, or the border
constexpr std::uint8_t SHIP_CELL_SHORE = 11;   // free only for ship kinds 0 and 1
constexpr std::uint8_t SHIP_CELL_TAKEN = 15;   // claimed by a ship

// A rectangle of map tiles, bounds inclusive.
struct TTileRect {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
};

// A rectangle of grid cells, bounds inclusive.
struct TShipCellRect {
    std::int32_t c0 = 0;
    std::int32_t r0 = 0;
    std::int32_t c1 = 0;
    std::int32_t r1 = 0;
};

class TShipGrid {
public:
    TShipGrid(std::uint32_t width, std::uint32_t height);

    bool IsPixelFreeForShip(std::uint8_t kind, float x, float y) const;
    bool TestPixelForShip(std::uint8_t kind, float x, float y) const;
    std::uint8_t GetPixelCellForShip(float x, float y) const;
    // The nearest free cell's centre by a walk on the shared random table. Simulation only.
    bool ShipGridCellAt(float x, float y, float& outX, float& outY) const;
    // null: the whole grid.
    void RebuildShipGrid(const TTileRect* tiles);

    void AddShipToList(const TUnit* ship);
    void RemoveShipFromList(const TUnit* ship);
    void RefreshShipCells();
    void UpdateShipCells(const TUnit* ship);
    void UpdateShipHeading(const TUnit* ship);
    bool IsOpenWaterAt(std::int32_t tileX, std::int32_t tileY, float px, float py) const;

    std::uint8_t CellValue(std::int32_t column, std::int32_t row) const;
    void SetCellValue(std::int32_t column, std::int32_t row, std::uint8_t value);

    // Footprint half-extents by unit type, and the heading sector (0, 2, 4, 6).
    static void ShipFootprint(std::uint16_t type, std::int32_t& a, std::int32_t& b);
    static std::uint8_t HeadingSector(float heading);
    // The rectangle a ship claims at a heading sector, and the one its release clears (both
    // clipped to the grid).
    TShipCellRect ClaimRect(std::int32_t c, std::int32_t r, std::uint16_t type, std::uint8_t sector) const;
    TShipCellRect ClearRect(std::int32_t c, std::int32_t r, std::uint16_t type) const;

    struct TShipEntry {
        const TUnit* ship = nullptr;
        std::uint16_t column = 0;
        std::uint16_t row = 0;
    };

    TWaterMap* m_pWater = nullptr;
    std::uint32_t m_Width = 0;
    std::uint32_t m_Height = 0;
    std::vector<std::uint8_t> m_Cells;
    std::uint32_t m_CellWidth = 96;
    std::uint32_t m_CellHeight = 48;
    float m_FactorX = 1.0f / 96.0f;
    float m_FactorY = 1.0f / 48.0f;
    std::vector<TShipEntry> m_Ships;

private:
    bool PixelCell(float x, float y, std::int32_t& c, std::int32_t& r) const;
    TShipCellRect Clip(TShipCellRect rect) const;
    void ClearTags(const TShipCellRect& rect);
    void ClaimTags(const TShipCellRect& rect);
    // Claims the ship's rectangle around its recorded cell; false for a dead or unreadable ship.
    bool Claim(const TShipEntry& entry);
    bool IsBadTile(std::int32_t x, std::int32_t y) const;
};

// The once-per-cycle refresh of the ships' tags of the current water object (nothing without one).
void RefreshShipTags();
