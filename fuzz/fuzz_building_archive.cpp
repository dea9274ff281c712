// Feeds arbitrary bytes to the building-phase loader as the entries of a building archive (the
// picture, texture, depth data and overlay of one phase) of a type of any sprite size, and to the
// building record reader.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "platform/paths.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    // The first bytes choose the depth kind and how the rest splits into the four entries.
    const std::uint8_t depthKind = data[0] & 1 ? HOUSE_DEPTH_SPAN_CODED : 0;
    const std::size_t n = size - 4;
    std::vector<std::size_t> cuts = {0, data[1] * n / 256, data[2] * n / 256, data[3] * n / 256, n};
    std::sort(cuts.begin(), cuts.end());
    const std::uint8_t* body = data + 4;
    std::vector<sampledata::LesSource> entries;
    for (int i = 0; i < 4; ++i)
        entries.push_back({"e" + std::to_string(i), static_cast<std::uint16_t>(10 + i),
                           std::vector<std::uint8_t>(body + cuts[i], body + cuts[i + 1])});
    const std::vector<std::uint8_t> archive = sampledata::BuildLesArchive(entries);
    static const std::string path = "fuzz_building.les";
    if (!plat::WriteFileAtomic(path, archive.data(), archive.size()))
        return 0;
    THouseType& type = HouseType(0, 3);
    type.m_ArchiveSlot = static_cast<std::uint32_t>(HouseGraphicsSlot(0, 3));
    type.m_DepthKind = depthKind;
    // Bits 1-2 of the first byte scale the sprite: small, up to the readers' bound, the whole u16
    // range, or a pair whose depth size wraps in 32 bits.
    switch ((data[0] >> 1) & 3) {
    case 0:
        type.m_SpriteWidth = static_cast<std::uint16_t>(1 + data[1] % 64);
        type.m_SpriteHeight = static_cast<std::uint16_t>(1 + data[2] % 64);
        break;
    case 1:
        type.m_SpriteWidth = static_cast<std::uint16_t>(1 + data[1] * 16);
        type.m_SpriteHeight = static_cast<std::uint16_t>(1 + data[2] * 16);
        break;
    case 2:
        type.m_SpriteWidth = static_cast<std::uint16_t>(data[1] * 257);
        type.m_SpriteHeight = static_cast<std::uint16_t>(data[2] * 257);
        break;
    default:
        type.m_SpriteWidth = 65535;
        type.m_SpriteHeight = 32769;
        break;
    }
    CloseLes(type.m_ArchiveSlot);
    if (Load_LesHeader(type.m_ArchiveSlot, path.c_str())) {
        CHousePhaseGraphic phase;
        phase.LoadSprites(&type, 10);
        phase.WaitAndFree();
        CloseLes(type.m_ArchiveSlot);
    }
    THouse house;
    ReadHouseRecord(std::span<const std::uint8_t>(data, size), house);
    return 0;
}
