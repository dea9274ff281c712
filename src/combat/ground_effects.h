#pragma once
// What the frame renderer adds on the ground each frame: the flames and smoke of damaged
// buildings, and the rings (TRing) laid on the terrain round selected ships and buildings with the
// building-selection texture. Visual only: nothing here draws from the shared random table or
// changes the simulation. Main thread only.
#include <cstdint>

namespace plat {
class Texture;
}
class THouse;
class THouseType;

// ---- house fires ----

// The fire level of a building: -1 (no fire) at half its hit points or more, otherwise
// (half - hit points) x 4 / half, at most 3 (a point's value holds four levels).
std::int32_t HouseFireLevel(float hitPoints, std::uint16_t maxHitPoints);
// Whether a building shows fire this frame: owned, standing, finished, its type's finished
// picture loaded, below half its hit points.
bool HouseMayBurn(const THouse& house);
// The height at a fire point of a building: its cell's ground plus the finished picture's depth at
// the point (sprite coordinates); false for a point outside the picture, on no pixel, or a type
// without depth data.
bool HouseFirePointHeight(const THouse& house, std::int16_t x, std::int16_t y, std::int32_t& height);
// Every rendered frame: flames and smoke at the fire points of the visible damaged buildings.
void AddDamagedHouseFires();

// ---- ground rings ----

constexpr int RING_MAX_POINTS = 1024;
// A ring this wide or wider is not built.
constexpr float RING_MAX_RADIUS = 2048.0f;

struct TRingPoint {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// A flat ellipse (half as high as wide) laid on the terrain and drawn as a textured strip.
class TRing {
public:
    void Set(float x, float y, float z, float radius, plat::Texture* texture);
    // The ellipse's half axes: r and r / 2.
    void SetRadius(std::int16_t r);
    void SetCenter(float x, float y, float z);
    void Draw() const;
    void Free();

    std::uint16_t Count() const { return m_Count; }
    const TRingPoint& Point(std::uint16_t i) const { return m_Points[i]; }

private:
    void Build();

    float m_X = 0.0f;
    float m_Y = 0.0f;
    float m_Z = 0.0f;
    float m_Radius = 0.0f;
    float m_HalfRadius = 0.0f;
    std::uint16_t m_Count = 0;
    TRingPoint m_Points[RING_MAX_POINTS];
    plat::Texture* m_pTexture = nullptr;
    std::uint8_t m_Flag = 1;
};

// "Data\Misc\HouseSelTexture.bmp", loaded at start-up (LoadHouseSelTexture of combat/effects.h),
// null when it could not be read. Main thread only.
extern plat::Texture* g_pHouseSelTexture;
// Every rendered frame: the local player's selected ships each get the selection ring.
void DrawShipSelectionRings();
