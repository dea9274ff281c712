#include "units/parameter_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "combat/tower.h"
#include "core/error_log.h"
#include "core/game_folder_fixture.h"
#include "core/memory_stream.h"
#include "devices/display.h"
#include "parameters.h"
#include "platform/bytes.h"
#include "sample_data.h"
#include "units/house_types.h"
#include "units/unit_types.h"

using namespace sampledata;

namespace {

// Records what the loader hands to the unit-type and graphics code.
class ParameterFiles : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        g_ParameterServices.makeUnitType = [this](int side, int index, const TUnitParamRecord& r) {
            made.push_back({side, index, r});
            return true;
        };
        g_ParameterServices.loadUnitGraphics = [this](int side, int index) { unitGraphics.push_back(side * 100 + index); };
        g_ParameterServices.loadHouseGraphics = [this](std::uint32_t slot, const char* name) {
            houseGraphics.push_back({slot, name});
        };
        for (int s = 0; s < PARAM_SIDES; ++s)
            g_NationHouseTypeCount[s] = g_NationUnitTypeCount[s] = 0;
    }
    void TearDown() override
    {
        g_ParameterServices = DefaultParameterServices();
        FreeShipTowersParams();
        GameFolderTest::TearDown();
    }

    struct Made {
        int side;
        int index;
        TUnitParamRecord record;
    };
    std::vector<Made> made;
    std::vector<int> unitGraphics;
    std::vector<std::pair<std::uint32_t, std::string>> houseGraphics;
};

std::vector<std::uint8_t> OneHouseFile(const THouseType& house)
{
    return BuildParameterFile(std::vector<THouseType>{house}, {});
}

bool Parse(const std::vector<std::uint8_t>& file, int side)
{
    return ParseParameterFile(file, side, "test.dat");
}

} // namespace

TEST_F(ParameterFiles, AnyByteOfTheMagicWrongRefusesTheFile)
{
    for (int i = 0; i < 4; ++i) {
        auto file = BuildParameterFile(0);
        file[i] ^= 0x20;
        EXPECT_FALSE(Parse(file, 0)) << "byte " << i;
    }
    EXPECT_FALSE(Parse({'~', 'x', 'g'}, 0));
    EXPECT_TRUE(Logged("Incorrect file format!"));
    EXPECT_EQ(g_NationHouseTypeCount[0], 0);
    EXPECT_TRUE(made.empty());
}

TEST_F(ParameterFiles, EmptyCountsLoadASideWithoutTypes)
{
    g_NationHouseTypeCount[2] = 7;
    ASSERT_TRUE(Parse(BuildParameterFile(std::vector<THouseType>{}, {}), 2));
    EXPECT_EQ(g_NationHouseTypeCount[2], 0);
    EXPECT_EQ(g_NationUnitTypeCount[2], 0);
    EXPECT_TRUE(made.empty());
}

TEST_F(ParameterFiles, BuildingRecordConvertsItsFields)
{
    THouseType h = SampleHouseRecord(1, kSampleHouseTypes[HOUSE_BARRACKS]);
    h.m_Costs[0] = 125.0f;
    h.m_Costs[4] = -3.0f;
    h.m_Capacity = 0;
    h.m_PowerNeed = 12.5f;
    h.m_Output = 0.75f;
    auto file = OneHouseFile(h);
    // 125 at record offset 320 is stored as 12 (integer division by 10).
    plat::WriteU16LE(file.data() + PARAM_HEADER_SIZE + 320, 125);
    ASSERT_TRUE(Parse(file, 1));

    const THouseType& t = HouseType(1, 0);
    EXPECT_EQ(t.m_BuildWork, 12);
    EXPECT_EQ(t.m_Costs[0], 125.0f);
    EXPECT_EQ(t.m_Costs[4], -3.0f);
    EXPECT_EQ(t.m_NoCapacity, 1);
    EXPECT_EQ(t.m_PowerNeed, 12.5f);
    EXPECT_EQ(t.m_Output, 0.75f);
    EXPECT_EQ(t.m_ArchiveSlot, 450u);
    EXPECT_EQ(t.m_TypeNumber, 0);
    EXPECT_EQ(t.m_Upgrade2, 0);
    EXPECT_EQ(t.m_Reserved, 1);
    EXPECT_EQ(std::string(t.m_GraphicName), "Barracks");
    EXPECT_EQ(t.m_Name[0], u'B');
    EXPECT_EQ(t.m_HitPoints, h.m_HitPoints);
    EXPECT_EQ(t.m_Units[0], h.m_Units[0]);
    EXPECT_EQ(t.m_DestructionCount, h.m_DestructionCount);
    EXPECT_EQ(t.m_SpotsBY[1], h.m_SpotsBY[1]);
    EXPECT_EQ(t.m_DepthKind, HOUSE_DEPTH_SPAN_CODED);
    EXPECT_EQ(t.m_GroundFlag, h.m_GroundFlag);
    EXPECT_EQ(g_NationHouseTypeCount[1], 1);

    // a capacity other than 0 clears the flag
    h.m_Capacity = 3;
    ASSERT_TRUE(Parse(OneHouseFile(h), 1));
    EXPECT_EQ(HouseType(1, 0).m_NoCapacity, 0);
}

TEST_F(ParameterFiles, RequiredBuildingsOfOtherSidesComeFromSideZero)
{
    THouseType zero = SampleHouseRecord(0, kSampleHouseTypes[4]);
    THouseType three = zero;
    for (int i = 0; i < HOUSE_LIST_SIZE; ++i) {
        zero.m_RequiredHouses[i] = static_cast<std::uint16_t>(i);
        three.m_RequiredHouses[i] = static_cast<std::uint16_t>(20 + i);
    }
    ASSERT_TRUE(Parse(BuildParameterFile(std::vector<THouseType>{zero, zero}, {}), 0));
    // side 3 defines one type more than side 0: that one requires nothing
    ASSERT_TRUE(Parse(BuildParameterFile(std::vector<THouseType>{three, three, three}, {}), 3));
    for (int i = 0; i < HOUSE_LIST_SIZE; ++i) {
        EXPECT_EQ(HouseType(3, 0).m_RequiredHouses[i], i);
        EXPECT_EQ(HouseType(3, 1).m_RequiredHouses[i], i);
        EXPECT_EQ(HouseType(3, 2).m_RequiredHouses[i], HOUSE_LIST_END);
    }
}

TEST_F(ParameterFiles, ShortOrOversizedFilesAreRefusedAndLeaveTheSide)
{
    ASSERT_TRUE(Parse(BuildParameterFile(4), 4));
    const std::uint16_t hp = HouseType(4, 0).m_HitPoints;
    made.clear();

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        const char* log;
    };
    const Case cases[] = {
        {"cut in a building record", [](auto& f) { f.resize(PARAM_HEADER_SIZE + HOUSE_PARAM_RECORD_SIZE * 3 + 100); },
         "Error of reading from file houses"},
        {"cut in a unit record", [](auto& f) { f.resize(f.size() - 1); }, "Error of reading from file units"},
        {"header cut", [](auto& f) { f.resize(6); }, "the header is cut short"},
        {"26 building types", [](auto& f) { plat::WriteU16LE(f.data() + 4, 26); }, "at most 25 and 40"},
        {"41 unit types", [](auto& f) { plat::WriteU16LE(f.data() + 6, 41); }, "at most 25 and 40"},
        {"11 animations", [](auto& f) { f[PARAM_HEADER_SIZE + 394] = 11; }, "animation count 11"},
        {"11 destruction points", [](auto& f) { f[PARAM_HEADER_SIZE + 456] = 11; }, "destruction point count 11"},
        {"11 muzzle spots", [](auto& f) { f[PARAM_HEADER_SIZE + 538] = 11; }, "muzzle spot count 11"},
        {"11 spots", [](auto& f) { f[PARAM_HEADER_SIZE + 706] = 11; }, "spot count 11"},
        {"3 ruin phases", [](auto& f) { f[PARAM_HEADER_SIZE + 392] = 3; }, "ruin phase count 3"},
        {"5 construction phases", [](auto& f) { f[PARAM_HEADER_SIZE + 393] = 5; }, "construction phase count 5"},
        {"a sprite wider than the bound",
         [](auto& f) { plat::WriteU16LE(f.data() + PARAM_HEADER_SIZE + 300, HOUSE_SPRITE_MAX_SIDE + 1); },
         "has a sprite of 4097 x"},
        {"a sprite whose depth size wraps", [](auto& f) {
             plat::WriteU16LE(f.data() + PARAM_HEADER_SIZE + 300, 65535);
             plat::WriteU16LE(f.data() + PARAM_HEADER_SIZE + 302, 32769);
         }, "has a sprite of 65535 x 32769"},
        {"an output that is not a number",
         [](auto& f) { plat::WriteU32LE(f.data() + PARAM_HEADER_SIZE + 700, 0x7FC00000u); }, "not a number"},
        {"an infinite power need",
         [](auto& f) { plat::WriteU32LE(f.data() + PARAM_HEADER_SIZE + 388, 0x7F800000u); }, "not a number"},
        {"5 parts", [](auto& f) { f[PARAM_HEADER_SIZE + 25 * HOUSE_PARAM_RECORD_SIZE + UNIT_REC_PART_COUNT] = 5; },
         "part count 5"},
    };
    for (const Case& c : cases) {
        auto file = BuildParameterFile(4);
        file[PARAM_HEADER_SIZE + 324] ^= 1; // hit points of type 0 differ in every spoiled file
        c.spoil(file);
        testsupport::WriteText(g_ErrorLog.FileName(), "");
        EXPECT_FALSE(Parse(file, 4)) << c.what;
        EXPECT_TRUE(Logged(c.log)) << c.what << ": " << Log();
        EXPECT_EQ(HouseType(4, 0).m_HitPoints, hp) << c.what;
    }
    EXPECT_TRUE(made.empty());
}

TEST_F(ParameterFiles, UnitRecordReadsBackFieldByField)
{
    const TUnitParamRecord tank = SampleUnitRecord(0, kSampleUnitTypes[14]);
    TOfStreamMemory out;
    WriteUnitParamRecord(tank, out);
    ASSERT_EQ(out.Size(), UNIT_PARAM_RECORD_SIZE);
    const std::uint8_t* b = out.Data();
    // the offsets every reader of these files relies on
    EXPECT_EQ(plat::ReadU16LE(b + 0), u'T');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 208)), "Tank");
    EXPECT_EQ(b[300], 3);
    EXPECT_EQ(plat::ReadU16LE(b + 302), 80);
    EXPECT_EQ(plat::ReadU16LE(b + 304), 64);
    EXPECT_EQ(plat::ReadF32LE(b + 452 + 4 * 4), 0.3f);
    EXPECT_EQ(b[572 + 5], tank.animationSize[5]);
    EXPECT_EQ(b[2372], 8); // sight radius in cells

    TUnitParamRecord r;
    ASSERT_TRUE(ReadUnitParamRecord({b, static_cast<std::size_t>(out.Size())}, r));
    EXPECT_EQ(std::u16string(r.name), std::u16string(tank.name));
    EXPECT_EQ(std::string(r.graphicName), "Tank");
    EXPECT_EQ(r.kind, 3);
    EXPECT_EQ(r.speed, tank.speed);
    EXPECT_EQ(r.turnDistance, 20.0f);
    EXPECT_EQ(r.closePath, 1);
    EXPECT_EQ(r.carrier17, 1);
    EXPECT_EQ(r.playerValues[UNIT_REC_VALUE_RANGE][7], 350);
    EXPECT_EQ(r.playerValues[UNIT_REC_VALUE_HIT_POINTS][0], 600);
    EXPECT_EQ(r.costs[2], 300.0f);
    EXPECT_EQ(r.upkeep[4], tank.upkeep[4]);
    EXPECT_EQ(r.partCount, 1);
    EXPECT_EQ(r.parts[0].mode, 1);
    EXPECT_EQ(r.parts[0].sectors[0][1], -180.0f);
    EXPECT_EQ(r.parts[0].barrels[0][0], tank.parts[0].barrels[0][0]);
    EXPECT_EQ(r.parts[0].maxDistance, 2000.0f);
    EXPECT_EQ(r.gunCount, 2);
    EXPECT_EQ(std::string(r.sounds[1].name), "Vehicle_1.wav");
    EXPECT_EQ(r.sounds[1].variants, 1);
    EXPECT_EQ(r.crushSize, tank.crushSize);
    EXPECT_EQ(r.sightRadius, 8);
    // every other field: the record written again is the same record
    TOfStreamMemory again;
    WriteUnitParamRecord(r, again);
    EXPECT_EQ(std::memcmp(again.Data(), b, UNIT_PARAM_RECORD_SIZE), 0);
}

TEST_F(ParameterFiles, LoaderRulesOfTheUnitRecords)
{
    std::vector<TUnitParamRecord> units;
    for (const SampleUnitType& t : kSampleUnitTypes)
        units.push_back(SampleUnitRecord(0, t));
    units[23].animationSize[6] = 7;
    units[23].animationSpeed[6] = 2.0f;
    ASSERT_TRUE(Parse(BuildParameterFile(std::vector<THouseType>{}, units), 0));
    ASSERT_EQ(made.size(), units.size());
    EXPECT_EQ(g_NationUnitTypeCount[0], units.size());
    for (const Made& m : made)
        EXPECT_EQ(m.record.animationSize[3], 1) << m.index;
    const TUnitParamRecord& siege = made[23].record;
    EXPECT_EQ(std::string(siege.graphicName), "SiegeHowitzer_2");
    EXPECT_EQ(siege.animationSpeed[6], 0.3f);
    EXPECT_EQ(siege.animationSize[6], 3);
    EXPECT_EQ(std::string(made[22].record.graphicName), "Howitzer");
}

TEST(UnitTypeObjects, RecordFillsTheTypeObject)
{
    TUnitParamRecord tank = SampleUnitRecord(2, kSampleUnitTypes[14]);
    ApplyUnitTypeLoadRules(tank, 14);
    ASSERT_TRUE(CreateUnitTypeFromParams(2, 14, tank));
    const TBasicUnit* t = GetUnitType(2, 14);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::string(t->m_GraphicName), "114");
    EXPECT_EQ(t->m_Kind, 3);
    EXPECT_EQ(t->ClosePath, 1);
    EXPECT_EQ(t->MaxAmmo, 10);
    EXPECT_EQ(t->m_bAirLike, 1);
    EXPECT_EQ(t->m_bShip, 0);
    EXPECT_EQ(t->m_CentreX, 40.0f);
    EXPECT_EQ(t->Range[5], 350);
    EXPECT_EQ(t->MaxHitPoints[0], 600);
    EXPECT_EQ(t->BuildTime[3], 1000);
    EXPECT_EQ(t->m_ArchiveSlot, 114u);
    EXPECT_EQ(t->AnimationSize[3], 1);
    ASSERT_EQ(t->m_PartCount, 1);
    EXPECT_NEAR(t->m_Parts[0].sectors[0][0], 3.14159f, 1e-4);
    ASSERT_NE(t->m_Sounds[0].name, nullptr);
    EXPECT_EQ(std::string(t->m_Sounds[0].name), "Vehicle_0.wav");
    EXPECT_EQ(t->m_Sounds[5].name, nullptr);
    EXPECT_EQ(t->m_MoveHandler, UnitKindHandlers(3).move);

    TUnitParamRecord plane = SampleUnitRecord(2, kSampleUnitTypes[10]);
    ASSERT_TRUE(CreateUnitTypeFromParams(2, 10, plane));
    const TBasicUnit* p = GetUnitType(2, 10);
    EXPECT_EQ(p->m_bAir, 1);
    EXPECT_EQ(p->RunwayLength, 300);
    EXPECT_EQ(p->m_AnimCount, 1);
    EXPECT_EQ(p->MaxAmmo, 0);

    TUnitParamRecord ship = SampleUnitRecord(2, kSampleUnitTypes[19]);
    ASSERT_TRUE(CreateUnitTypeFromParams(2, 19, ship));
    EXPECT_EQ(GetUnitType(2, 19)->m_bShip, 1);
    EXPECT_EQ(GetUnitType(2, 19)->ClosePath, 0);
    FreeUnitTypes();
}

TEST_F(ParameterFiles, SampleFolderLoadsEveryTypeAndOpensItsGraphics)
{
    ASSERT_TRUE(WriteParameterFiles(dir.Path()));
    ASSERT_TRUE(LoadBasicParametrs());
    for (int s = 0; s < kNeutralSide; ++s) {
        EXPECT_EQ(g_NationHouseTypeCount[s], 25);
        EXPECT_EQ(g_NationUnitTypeCount[s], kSampleUnitTypes.size());
    }
    EXPECT_EQ(g_NationHouseTypeCount[kNeutralSide], kSampleNeutralHouseTypes.size());
    EXPECT_EQ(g_NationUnitTypeCount[kNeutralSide], 0);
    EXPECT_EQ(made.size(), 5 * kSampleUnitTypes.size());
    ASSERT_EQ(unitGraphics.size(), made.size());
    EXPECT_EQ(unitGraphics.front(), 0);
    EXPECT_EQ(unitGraphics.back(), 400 + 29);
    ASSERT_EQ(houseGraphics.size(), 5 * 25 + kSampleNeutralHouseTypes.size());
    EXPECT_EQ(houseGraphics[26].first, 451u);
    EXPECT_EQ(houseGraphics[26].second, "Pillbox");
    EXPECT_EQ(houseGraphics.back().first, static_cast<std::uint32_t>(400 + 250 + 5));
    // the tower parameters live only for the load
    TShipTowerParams p;
    EXPECT_FALSE(GetShipTowersParams(0, p));
}

TEST_F(ParameterFiles, MissingFilesFailTheLoad)
{
    ASSERT_TRUE(WriteParameterFiles(dir.Path()));
    std::filesystem::remove(dir / "Data/BasicParams2.dat");
    EXPECT_FALSE(LoadBasicParametrs());
    EXPECT_TRUE(Logged("Data\\BasicParams2.dat  open FAILED"));

    ASSERT_TRUE(WriteParameterFiles(dir.Path()));
    std::filesystem::remove(dir / "Data/ShipTowersParams.txt");
    houseGraphics.clear();
    EXPECT_FALSE(LoadBasicParametrs());
    EXPECT_TRUE(houseGraphics.empty());
}

TEST_F(ParameterFiles, ColoursBecomeTheFourTables)
{
    testsupport::WriteText(dir / "Data/Colors.txt",
                           "255 0 0\n0 255 0\n0 0 255\n1 2 3\n300 -5 abc\n10 20 30\n40 50 60\n70 80 90\n");
    ASSERT_TRUE(LoadColors());
    EXPECT_EQ(g_PlayerColorsD3D[0], 0xFFFF0000u);
    EXPECT_EQ(g_PlayerColorsGdi[0], 0x000000FFu);
    EXPECT_EQ(g_PlayerColorsD3D[1], 0xFF00FF00u);
    EXPECT_EQ(g_PlayerColorsGdi[2], 0x00FF0000u);
    EXPECT_EQ(g_PlayerColorsD3D[3], 0xFF010203u);
    EXPECT_EQ(g_PlayerColorsGdi[3], 0x00030201u);
    // channels beyond 0..255 are clamped, a word without digits is 0
    EXPECT_EQ(g_PlayerColorsD3D[4], 0xFFFF0000u);
    for (int i = 0; i < PLAYER_COLORS; ++i) {
        EXPECT_EQ(g_PaletteColorsGdi[i], g_PlayerColorsGdi[i]);
        const std::uint32_t c = g_PlayerColorsD3D[i];
        EXPECT_EQ(g_PlayerColors16[i], MakeColor16(static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                                   static_cast<std::uint8_t>(c)));
    }
    EXPECT_EQ(g_NeutralColor16, 0xE4F6);
    EXPECT_EQ(g_NeutralColorGdi, 0xC8E4F6u);

    testsupport::WriteText(dir / "Data/Colors.txt", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23");
    EXPECT_FALSE(LoadColors());
    EXPECT_TRUE(Logged("fewer than 24 numbers"));
    EXPECT_EQ(g_PlayerColorsD3D[0], 0xFFFF0000u);

    std::filesystem::remove(dir / "Data/Colors.txt");
    EXPECT_FALSE(LoadColors());
    EXPECT_TRUE(Logged("Cannot open file Data\\Colors.txt"));
}

TEST_F(ParameterFiles, ShipTowerParametersReadPastComments)
{
    const std::string text = SampleShipTowersText();
    ASSERT_TRUE(ParseShipTowersParams({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
    TShipTowerParams p;
    ASSERT_TRUE(GetShipTowersParams(1, p));
    EXPECT_EQ(p.a, 500);
    EXPECT_EQ(p.b, 200);
    EXPECT_EQ(p.c, 150);
    EXPECT_EQ(p.d, 1200.0f);
    EXPECT_EQ(p.e, 600.0f);
    EXPECT_TRUE(GetShipTowersParams(5, p));
    EXPECT_FALSE(GetShipTowersParams(6, p));

    // only the low byte of the count counts; comments may stand before every value
    const std::string lowByte = "258 first {a comment} {of words} 7 8 9 {d} 1.5 2.5 x second 1 2 3 4 5 y";
    ASSERT_TRUE(ParseShipTowersParams({reinterpret_cast<const std::uint8_t*>(lowByte.data()), lowByte.size()}));
    ASSERT_TRUE(GetShipTowersParams(1, p));
    EXPECT_EQ(p.a, 1);
    EXPECT_FALSE(GetShipTowersParams(2, p));

    const std::string cut = "2 first 7 8 9 1.5 2.5 x second 1 2";
    EXPECT_FALSE(ParseShipTowersParams({reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()}));
    EXPECT_TRUE(Logged("record 1 is cut short"));
    EXPECT_FALSE(GetShipTowersParams(0, p));
}
