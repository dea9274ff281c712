#include "units/build_site.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "house_fixture.h"
#include "map/map_fixture.h"
#include "units/unit.h"

using housetest::HouseWorld;
using housetest::ReasonText;

namespace {

// Where the refusal cases build: a flat, empty site in the middle of a 40 x 80 map.
constexpr std::int32_t kX = 20;
constexpr std::int32_t kY = 40;

std::u16string Reason()
{
    return g_CantBuildReason;
}

std::vector<plat::Point> Site(std::uint16_t type, std::int32_t x = kX, std::int32_t y = kY)
{
    const THouseType& t = HouseType(0, type);
    return AreaCells(GetNeighbourPoint({x, y}, 6), t.m_FootprintCells + 2, t.m_FootprintRows + 2);
}

TEST(BuildSite, AnEmptyFlatSiteIsAllowedAndLeavesNoReason)
{
    HouseWorld w;
    for (std::uint16_t type : {HOUSE_POWER_PLANT, HOUSE_BARRACKS, HOUSE_AIR_HANGAR, HOUSE_TANK_FACTORY, HOUSE_BARN})
        EXPECT_TRUE(CanBuildHouseAt(0, kX, kY, type, 0)) << type;
    EXPECT_EQ(Reason(), u"");
}

TEST(BuildSite, EachRefusalLeavesItsText)
{
    struct Case {
        const char* label;
        std::uint16_t type;
        std::function<void(HouseWorld&)> arrange;
        const char16_t* id;
        std::int32_t x = kX;
        std::int32_t y = kY;
    };
    const std::vector<Case> cases = {
        {"site cell beyond the border", HOUSE_PILLBOX, [](HouseWorld&) {}, u"IDS_CANTBUILD_CORNER_NEAR", 4, kY},
        {"resource ring beyond the border", HOUSE_PILLBOX, [](HouseWorld&) {}, u"IDS_CANTBUILD_CORNER_NEAR", 6, kY},
        {"a building on the site", HOUSE_BARRACKS, [](HouseWorld& w) { w.Place(1, kX, kY + 2, HOUSE_PILLBOX); },
         u"IDS_CANTBUILD_HAVE_HOUSE_NEAR"},
        {"an apron on the site", HOUSE_BARRACKS, [](HouseWorld& w) { w.SetCode(kX, kY, OBJECT_TANK_APRON); },
         u"IDS_CANTBUILD_HAVE_HOUSE_NEAR"},
        {"a resource point one cell beyond the site", HOUSE_BARRACKS,
         [](HouseWorld& w) {
             const plat::Point p = GetNeighbourPoint(GetNeighbourPoint(GetNeighbourPoint({kX, kY}, 6), 6), 6);
             w.SetCode(p.x, p.y, OBJECT_GOLD_POINT);
         },
         u"IDS_CANTBUILD_HAVE_RESOURCE_NEAR"},
        {"advanced path", HOUSE_BARRACKS,
         [](HouseWorld&) { HouseServices().advancedPathByte = [](std::int32_t x, std::int32_t y) -> std::uint8_t { return x == kX && y == kY ? 1 : 0; }; },
         u"IDS_CANTBUILD"},
        {"water", HOUSE_BARRACKS, [](HouseWorld& w) { w.water.insert({kX, kY}); }, u"IDS_CANTBUILD_ONWATER"},
        {"height range 21", HOUSE_BARRACKS, [](HouseWorld& w) { w.SetHeight(kX, kY, 21); }, u"IDS_CANTBUILD_HEIGHT"},
        {"six trees", HOUSE_BARRACKS,
         [](HouseWorld& w) {
             const auto site = Site(HOUSE_BARRACKS);
             for (int i = 0; i < 6; ++i)
                 w.SetCode(site[i].x, site[i].y, kObjectTreeFirst);
         },
         u"IDS_CANTBUILD_TREE_MANY"},
        {"oil maker beside its point", HOUSE_OIL_MAKER,
         [](HouseWorld& w) { w.SetCode(kX + 1, kY, OBJECT_OIL_POINT); }, u"IDS_CANTBUILD_RESOURCE_DEMAND"},
        {"lumber mill with 14 trees", HOUSE_LUMBER_MILL,
         [](HouseWorld& w) {
             for (int i = 0; i < 14; ++i)
                 w.SetCode(kX - 5 + i % 11, kY - 10 + i / 11, kObjectTreeFirst);
         },
         u"IDS_CANTBUILD_TREE_DEMAND"},
        {"second lumber mill", HOUSE_LUMBER_MILL,
         [](HouseWorld& w) {
             for (int i = 0; i < 20; ++i)
                 w.SetCode(kX - 5 + i % 11, kY - 10 + i / 11, kObjectTreeFirst);
             w.Place(0, kX + 3, kY + 10, HOUSE_LUMBER_MILL);
         },
         u"IDS_ALREADY_HAVE_LUMER_NEAR"},
        {"winter barn", HOUSE_BARN, [](HouseWorld&) { HouseServices().mapSeason = [] { return 3u; }; },
         u"IDS_CANTBUILD_BARN_WINTER"},
        {"tree on the airfield", HOUSE_AIR_HANGAR,
         [](HouseWorld& w) {
             const plat::Point p = ApronCells({kX, kY}, HouseType(0, HOUSE_AIR_HANGAR).m_FootprintRows, 6).back();
             w.SetCode(p.x, p.y, kObjectTreeFirst);
         },
         u"IDS_CANTBUILD_CLOSE_AIR"},
        {"tree on the tank apron", HOUSE_TANK_FACTORY,
         [](HouseWorld& w) {
             const plat::Point p = ApronCells({kX, kY}, HouseType(0, HOUSE_TANK_FACTORY).m_FootprintRows, 2).back();
             w.SetCode(p.x, p.y, kObjectTreeFirst);
         },
         u"IDS_CANTBUILD_CLOSE_TANK"},
        {"port on dry land", HOUSE_PORT, [](HouseWorld&) {}, u"IDS_CANT_BUILD_PORT"},
    };
    for (const Case& c : cases) {
        HouseWorld w;
        c.arrange(w);
        EXPECT_FALSE(CanBuildHouse(0, c.x, c.y, c.type, 0)) << c.label;
        EXPECT_EQ(Reason(), ReasonText(c.id)) << c.label;
    }
}

TEST(BuildSite, UnitsOnTheSite)
{
    HouseWorld w;
    TUnit own(0, 0), foreign(0, 0), flying(0, 0);
    own.Player = 0;
    foreign.Player = 1;
    flying.Player = 1;
    flying.Height = 50.0f;
    const std::uint32_t poz = kY * g_MapWidth + kX;
    own.HitPoints = foreign.HitPoints = flying.HitPoints = 10.0f;
    AddUnitToCell(poz, &own);
    AddUnitToCell(poz, &flying);
    EXPECT_TRUE(CanBuildHouse(0, kX, kY, HOUSE_BARRACKS, 0)); // pushable own units and aircraft
    HouseServices().mayPushUnit = [](const TUnit*) { return false; };
    EXPECT_FALSE(CanBuildHouse(0, kX, kY, HOUSE_BARRACKS, 0));
    EXPECT_EQ(Reason(), ReasonText(u"IDS_CANTBUILD_HAVE_UNIT_NEAR"));
    HouseServices().mayPushUnit = [](const TUnit*) { return true; };
    AddUnitToCell(poz, &foreign);
    EXPECT_FALSE(CanBuildHouse(0, kX, kY, HOUSE_BARRACKS, 0));
    EXPECT_EQ(Reason(), ReasonText(u"IDS_CANTBUILD_HAVE_UNIT_NEAR"));
    for (TUnit* u : {&own, &flying, &foreign})
        RemoveUnitFromCell(poz, u);
}

TEST(BuildSite, BoundariesThatAreStillAllowed)
{
    HouseWorld w;
    w.SetHeight(kX, kY, 20);
    EXPECT_TRUE(CanBuildHouse(0, kX, kY, HOUSE_BARRACKS, 0)) << "height range 20";
    w.SetHeight(kX, kY, 0);
    const auto site = Site(HOUSE_BARRACKS);
    for (int i = 0; i < 5; ++i)
        w.SetCode(site[i].x, site[i].y, kObjectTreeFirst);
    EXPECT_TRUE(CanBuildHouse(0, kX, kY, HOUSE_BARRACKS, 0)) << "five trees";
    for (int i = 0; i < 5; ++i)
        w.SetCode(site[i].x, site[i].y, kObjectFree);
    // An oil maker on its point, although the point lies inside its site.
    w.SetCode(kX, kY, OBJECT_OIL_POINT);
    EXPECT_TRUE(CanBuildHouse(0, kX, kY, HOUSE_OIL_MAKER, 0));
    w.SetCode(kX, kY, kObjectFree);
    for (int i = 0; i < 15; ++i)
        w.SetCode(kX - 5 + i % 11, kY - 10 + i / 11, kObjectTreeFirst);
    EXPECT_TRUE(CanBuildHouse(0, kX, kY, HOUSE_LUMBER_MILL, 0)) << "fifteen trees";
}

TEST(BuildSite, ReferenceOutsideTheBorderKeepsTheOldReason)
{
    HouseWorld w;
    SetCantBuildReason(u"IDS_CANTBUILD_HEIGHT");
    EXPECT_FALSE(CanBuildHouse(0, 3, kY, HOUSE_PILLBOX, 0));
    EXPECT_EQ(Reason(), ReasonText(u"IDS_CANTBUILD_HEIGHT"));
}

TEST(BuildSite, PortNeedsWaterLandAndAnOpenSideAndLimitsItsHeightAt50)
{
    HouseWorld w;
    // A port big enough to hold 50 water and 20 land cells in its site.
    HouseType(0, HOUSE_PORT).m_FootprintRows = 7;
    HouseType(0, HOUSE_PORT).m_FootprintCells = 7;
    const auto site = Site(HOUSE_PORT);
    // Site cell (k, j): k steps north-east, j north-west of the cell south of the reference; the
    // first six north-east steps are water, so the footprint's first row and their east
    // neighbours are too.
    for (int j = 0; j < 9; ++j)
        for (int k = 0; k < 6; ++k)
            w.water.insert({site[j * 9 + k].x, site[j * 9 + k].y});
    const plat::Point land = site[8];
    w.SetHeight(land.x, land.y, 50);
    EXPECT_TRUE(CanBuildHouse(0, kX, kY, HOUSE_PORT, 0)) << std::string(Reason().begin(), Reason().end()).size();
    w.SetHeight(land.x, land.y, 51);
    EXPECT_FALSE(CanBuildHouse(0, kX, kY, HOUSE_PORT, 0));
    EXPECT_EQ(Reason(), ReasonText(u"IDS_CANTBUILD_HEIGHT"));
}

} // namespace
