#include "units/house_types.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "core/error_log.h"
#include "core/memory_stream.h"
#include "units/record_io.h"

THouseType g_HouseTypes[HOUSE_TYPE_COUNT];
std::uint16_t g_NationHouseTypeCount[HOUSE_SIDES];

bool CheckHouseTypeRecord(const THouseType& t, const char* who)
{
    const struct {
        std::uint8_t value;
        int limit;
        const char* name;
    } counts[] = {
        {t.m_RuinPhaseCount, HOUSE_RUIN_PHASES, "ruin phase count"},
        {t.m_ConstructionPhaseCount, HOUSE_CONSTRUCTION_PHASES, "construction phase count"},
        {t.m_AnimationCount, HOUSE_LIST_SIZE, "animation count"},
        {t.m_DestructionCount, HOUSE_LIST_SIZE, "destruction point count"},
        {t.m_SpotCountB, HOUSE_LIST_SIZE, "spot count"},
        {t.m_MuzzleCount, HOUSE_LIST_SIZE, "muzzle spot count"},
    };
    for (const auto& c : counts) {
        if (c.value > c.limit) {
            ReportError(std::string(who) + ": building type " + std::to_string(t.m_TypeNumber) + " has " + c.name + " "
                        + std::to_string(c.value) + " (at most " + std::to_string(c.limit) + ")");
            return false;
        }
    }
    if (t.m_SpriteWidth > HOUSE_SPRITE_MAX_SIDE || t.m_SpriteHeight > HOUSE_SPRITE_MAX_SIDE) {
        ReportError(std::string(who) + ": building type " + std::to_string(t.m_TypeNumber) + " has a sprite of "
                    + std::to_string(t.m_SpriteWidth) + " x " + std::to_string(t.m_SpriteHeight) + " (at most "
                    + std::to_string(HOUSE_SPRITE_MAX_SIDE) + " on each side)");
        return false;
    }
    // The output and the power need become integers in the handlers; the costs are compared.
    const bool finite = std::isfinite(t.m_PowerNeed) && std::isfinite(t.m_Output) &&
                        std::all_of(std::begin(t.m_Costs), std::end(t.m_Costs), [](float c) { return std::isfinite(c); });
    if (!finite) {
        ReportError(std::string(who) + ": building type " + std::to_string(t.m_TypeNumber)
                    + " has a cost, power need or output that is not a number");
        return false;
    }
    return true;
}

namespace {

// The stored layout, for both directions; the gaps and the phase pointers stay 0 on disk.
template <typename IO, typename T>
void MapHouseType(const IO& io, T& t)
{
    io.Array(0, t.m_Name);
    io.Array(200, t.m_GraphicName);
    io.Field(300, t.m_ArchiveSlot);
    io.Field(304, t.m_TypeNumber);
    io.Field(306, t.m_SpriteWidth);
    io.Field(308, t.m_SpriteHeight);
    io.Field(310, t.m_FootprintRows);
    io.Field(311, t.m_FootprintCells);
    io.Field(312, t.m_AnchorX);
    io.Field(314, t.m_AnchorY);
    io.Field(316, t.m_ExitX);
    io.Field(318, t.m_ExitY);
    io.Field(320, t.m_DoorX);
    io.Field(322, t.m_DoorY);
    io.Field(324, t.m_Param324);
    io.Field(326, t.m_BuildWork);
    io.Field(328, t.m_Param328);
    io.Field(330, t.m_HitPoints);
    io.Field(332, t.m_Capacity);
    io.Array(334, t.m_Units);
    io.Array(356, t.m_Costs);
    io.Array(376, t.m_Params376);
    io.Field(396, t.m_PowerNeed);
    io.Field(400, t.m_Output);
    io.Field(432, t.m_RuinPhaseCount);
    io.Field(433, t.m_ConstructionPhaseCount);
    io.Field(435, t.m_DepthKind);
    io.Field(436, t.m_AnimationCount);
    io.Array(438, t.m_AnimationSlots);
    io.Array(458, t.m_AnimationX);
    io.Array(478, t.m_AnimationY);
    io.Field(498, t.m_DestructionCount);
    io.Array(500, t.m_DestructionX);
    io.Array(520, t.m_DestructionY);
    io.Array(540, t.m_DestructionValues);
    io.Field(580, t.m_SpotCountB);
    io.Array(582, t.m_SpotsBX);
    io.Array(602, t.m_SpotsBY);
    io.Field(622, t.m_MuzzleCount);
    io.Array(624, t.m_MuzzleX);
    io.Array(644, t.m_MuzzleY);
    io.Array(664, t.m_RequiredHouses);
    io.Field(684, t.m_NoCapacity);
    io.Field(685, t.m_Upgrade2);
    io.Field(686, t.m_GroundFlag);
    io.Field(687, t.m_Reserved);
}

} // namespace

void SaveHouseType(const THouseType& t, TOfStreamMemory& out)
{
    std::uint8_t bytes[HOUSE_TYPE_RECORD_SIZE] = {};
    MapHouseType(TRecordWriter(bytes), t);
    out.Write(bytes, HOUSE_TYPE_RECORD_SIZE);
}

bool LoadHouseType(TIfStreamMemory& in, THouseType& type)
{
    std::uint8_t bytes[HOUSE_TYPE_RECORD_SIZE];
    if (in.Read(bytes, HOUSE_TYPE_RECORD_SIZE) != HOUSE_TYPE_RECORD_SIZE) {
        ReportError("LoadHouseType: the building type record is cut short");
        return false;
    }
    THouseType t = type;
    MapHouseType(TRecordReader(bytes), t);
    if (!CheckHouseTypeRecord(t, "LoadHouseType"))
        return false;
    t.m_Name[HOUSE_NAME_LENGTH - 1] = 0;
    // Which archive slot the type's graphics were opened in (and whether it owns them) is this
    // process's own state: freeing decides by it, so a file never sets it.
    t.m_ArchiveSlot = type.m_ArchiveSlot;
    t.m_GraphicName[HOUSE_GRAPHIC_NAME_SIZE - 1] = 0;
    type = t;
    return true;
}

void SaveHouseTypes(TOfStreamMemory& out)
{
    for (const THouseType& t : g_HouseTypes)
        SaveHouseType(t, out);
}

bool LoadHouseTypes(TIfStreamMemory& in)
{
    // Read into a copy, so that a bad record leaves the table as it was.
    auto loaded = std::make_unique<THouseType[]>(HOUSE_TYPE_COUNT);
    for (int i = 0; i < HOUSE_TYPE_COUNT; ++i) {
        loaded[i] = g_HouseTypes[i];
        if (!LoadHouseType(in, loaded[i]))
            return false;
    }
    for (int i = 0; i < HOUSE_TYPE_COUNT; ++i)
        g_HouseTypes[i] = loaded[i];
    return true;
}
