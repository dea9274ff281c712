#pragma once
// Craters and ground pictures: the sprite sets they are drawn from and the pictures lying on the
// map. Shell bursts add craters; the map editor places the same pictures by hand. The pictures are
// part of map files and saved games. They never feed the simulation: a picture's life counts drawn
// frames, so what lies on the ground may differ between machines without the game differing.
//
// Threads: main thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "devices/animation.h"
#include "platform/types.h"

class TIfStreamMemory;
class TOfStreamMemory;

constexpr int CRATER_EDITOR_LIMIT = 300;
constexpr std::uint16_t CRATER_LIFE_LYING = 5000;
constexpr std::int32_t CRATER_MARGIN_X = 192;
constexpr std::int32_t CRATER_MARGIN_Y = 72;

class TGroundPicture : public TAnimationStruct {
public:
    std::uint8_t set = 0;
};

struct TCraterSet {
    TAnimationSprites sprites;
    std::uint8_t index = 0;
    std::uint8_t kind = ANIMATION_LYING;
    bool tried = false;
};

class TCraters {
public:
    // Counts the sets of the three archives; in the editor every set is loaded at once.
    TCraters();
    ~TCraters();
    TCraters(const TCraters&) = delete;
    TCraters& operator=(const TCraters&) = delete;

    TGroundPicture* AddPicture(std::uint32_t x, std::uint32_t y, std::uint8_t set);
    void DrawCraters();
    void DrawCratersPass2();
    void ClearPictures();
    void SaveCraters(TOfStreamMemory& out) const;
    bool LoadCraters(TIfStreamMemory& in);
    // The pictures inside rect (map pixels), as offsets from its top-left corner.
    bool SavePictures(const std::string& path, const plat::Rect& rect) const;
    bool LoadPictures(const std::string& path, const plat::Point& origin);
    // Editor helpers.
    bool DeleteNearest(float x, float y);
    void RemoveInvisible();
    std::uint16_t CountVisible() const;

    std::uint16_t SetCount() const { return static_cast<std::uint16_t>(m_Sets.size()); }
    std::uint16_t PictureCount() const { return static_cast<std::uint16_t>(m_Pictures.size()); }
    const TGroundPicture* Picture(int i) const { return m_Pictures[i]; }
    // Loads set i when it has not been tried; true when it has frames.
    bool EnsureSet(std::uint8_t i);
    static std::uint16_t LifeOf(std::uint8_t set, std::uint8_t kind);

private:
    void DeletePicture(std::size_t i);
    std::vector<TCraterSet*> m_Sets;
    std::vector<TGroundPicture*> m_Pictures;
    std::uint16_t m_FlatCount = 0;
    std::uint16_t m_UprightCount = 0;
};

extern TCraters* g_pCraters;
void CreateCraters();
void FreeCraters();
// The map and save block: u16 count, then per picture its 80-byte record.
void SaveCraters(TOfStreamMemory& out);
bool LoadCraters(TIfStreamMemory& in);
void DrawCraters();
void DrawCratersPass2();
