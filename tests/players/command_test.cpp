// The order message and the command record: their byte layouts, the message's conversion into a
// record, and the late resolution of the objects a record names.
#include <gtest/gtest.h>

#include <array>

#include "core/game_folder_fixture.h"
#include "players/command.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

namespace {

class CommandTest : public GameFolderTest {
protected:
    void TearDown() override
    {
        for (TStrateg* p : g_Strateg)
            if (p != nullptr)
                p->ClearUnitTable();
        ClearGlobalHeap();
        GameFolderTest::TearDown();
    }
};

TEST_F(CommandTest, TheMessageHasItsWireLayoutAndReadsBackWhole)
{
    TNetData m;
    m.cycle = 0x01020304;
    m.sequence = 0x0506;
    m.PlayerSend = 7;
    m.commandClass = 3;
    m.id = 0x0048;
    m.x = -2;
    m.y = 0x11223344;
    m.houseRef = 2005;
    m.unitIndex = 0x0A0B;
    m.unitPlayer = 6;
    for (int i = 0; i < 6; ++i)
        m.params[i] = 0xA0000000u + static_cast<std::uint32_t>(i);
    std::array<std::uint8_t, NET_DATA_WIRE_SIZE> bytes{};
    WriteNetData(m, bytes);
    const std::array<std::uint8_t, 23> head = {0x04, 0x03, 0x02, 0x01, 0x06, 0x05, 7,    3,    0x48, 0x00, 0xFE, 0xFF,
                                               0xFF, 0xFF, 0x44, 0x33, 0x22, 0x11, 0xD5, 0x07, 0x0B, 0x0A, 6};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
    EXPECT_EQ(bytes[23], 0x00) << "parameter 0 at its unaligned offset";
    EXPECT_EQ(bytes[26], 0xA0);
    EXPECT_EQ(bytes[43], 5);
    EXPECT_EQ(bytes[46], 0xA0);

    TNetData back;
    ASSERT_TRUE(ReadNetData(bytes, back));
    std::array<std::uint8_t, NET_DATA_WIRE_SIZE> again{};
    WriteNetData(back, again);
    EXPECT_EQ(again, bytes);
    EXPECT_EQ(back.x, -2);
    EXPECT_FALSE(ReadNetData(std::span(bytes).first(46), back)) << "a short message";
}

TEST_F(CommandTest, TheRecordHasItsSaveLayoutWithPointerSlotsZero)
{
    THeapItem h;
    h.kind = 2;
    h.cikl = 0x01020304;
    h.sequence = 0x0506;
    h.commandClass = 4;
    h.x = 1.5f;
    h.y = -2.0f;
    h.unitPlayer = 3;
    h.secondUnitPlayer = 4;
    h.unitIndex = 0x0708;
    h.secondUnitIndex = 0x090A;
    h.id = 54;
    h.houseIndex = 999;
    h.housePlayer = 1;
    for (int i = 0; i < 6; ++i)
        h.params[i] = static_cast<std::uint32_t>(i + 1) * 0x01010101u;
    h.flag = 1;
    TUnit someone(0, 0);
    h.unit = &someone; // never stored
    std::array<std::uint8_t, HEAP_ITEM_SIZE> bytes{};
    WriteHeapItem(h, bytes);
    const struct {
        std::size_t at;
        std::uint8_t value;
    } expected[] = {{0, 2},     {1, 0},    {4, 0x04},  {7, 0x01},  {8, 0x06}, {10, 4},   {15, 0x3F}, {19, 0xC0},
                    {20, 0},    {24, 0},   {27, 0},    {28, 3},    {29, 4},   {30, 0x08}, {32, 0x0A}, {34, 54},
                    {36, 0},    {40, 0xE7}, {41, 0x03}, {42, 1},    {44, 1},   {67, 6},    {68, 0},    {84, 1},
                    {88, 0},    {91, 0}};
    for (const auto& e : expected)
        EXPECT_EQ(bytes[e.at], e.value) << "offset " << e.at;

    THeapItem back;
    ASSERT_TRUE(ReadHeapItem(bytes, back));
    EXPECT_EQ(back.unit, nullptr);
    std::array<std::uint8_t, HEAP_ITEM_SIZE> again{};
    WriteHeapItem(back, again);
    EXPECT_EQ(again, bytes);
    EXPECT_FALSE(ReadHeapItem(std::span(bytes).first(91), back));
}

TEST_F(CommandTest, AMessageBecomesAReceivedRecordWithItsReferencesSplit)
{
    const struct {
        std::uint16_t houseRef;
        std::uint8_t player;
        std::uint16_t index;
    } cases[] = {{2005, 2, 5}, {65535, COMMAND_NO_PLAYER, COMMAND_NO_INDEX}, {0, 0, 0}, {7999, 7, 999}};
    for (const auto& c : cases) {
        TNetData m;
        m.cycle = 40;
        m.sequence = 3001;
        m.commandClass = 2;
        m.id = 0x0107; // read as its low byte
        m.x = -300;
        m.y = 2000000000;
        m.houseRef = c.houseRef;
        m.unitPlayer = 1;
        m.unitIndex = 12;
        m.params[5] = 9;
        THeapItem* item = NetDataToHeapItem(m);
        EXPECT_EQ(item->kind, HEAP_KIND_RECEIVED);
        EXPECT_EQ(item->cikl, 40u);
        EXPECT_EQ(item->sequence, 3001);
        EXPECT_EQ(item->id, 7);
        EXPECT_EQ(item->x, -300.0f) << "a negative coordinate stays negative";
        EXPECT_EQ(item->y, 2000000000.0f);
        EXPECT_EQ(item->housePlayer, c.player) << c.houseRef;
        EXPECT_EQ(item->houseIndex, c.index) << c.houseRef;
        EXPECT_EQ(item->unitPlayer, 1);
        EXPECT_EQ(item->unitIndex, 12);
        EXPECT_EQ(item->secondUnitPlayer, COMMAND_NO_PLAYER);
        EXPECT_EQ(item->params[5], 9u);
        EXPECT_EQ(item->house, nullptr) << "resolved when it executes";
        FreeHeapItem(item);
    }
}

TEST_F(CommandTest, ReferencesResolveToLiveUnitsAndStandingHousesOnly)
{
    for (int p = 0; p < 2; ++p) {
        g_Strateg[p] = new TStrateg;
        g_Strateg[p]->Number = static_cast<std::uint8_t>(p);
        g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
    }
    g_wNumPlayer = 2;
    THouseType type;
    NumHouse[1] = 3;
    for (int h = 0; h < 3; ++h) {
        g_pHouse[1][h].TypeRecord = &type;
        g_pHouse[1][h].Owner = 1;
        g_pHouse[1][h].Index = static_cast<std::uint16_t>(h);
    }
    g_pHouse[1][2].Destroyed = 1;
    TUnit alive(0, 0), dead(0, 0);
    alive.Player = dead.Player = 1;
    g_Strateg[1]->AddUnit(&alive);
    g_Strateg[1]->AddUnit(&dead);

    THeapItem* item = NewCommandForObjects(2, 19, 0.0f, 0.0f, &dead, &alive, &g_pHouse[1][1]);
    EXPECT_EQ(item->unitPlayer, 1);
    EXPECT_EQ(item->unitIndex, 0);
    EXPECT_EQ(item->secondUnitIndex, 1);
    EXPECT_EQ(item->housePlayer, 1);
    EXPECT_EQ(item->houseIndex, 1);

    // The second unit dies before the record's cycle comes.
    dead.Dead = 1;
    ResolveHeapItemRefs(*item);
    EXPECT_EQ(item->unit, &alive);
    EXPECT_EQ(item->secondUnit, nullptr) << "a unit that died executes as no unit";
    EXPECT_EQ(item->house, &g_pHouse[1][1]);

    const struct {
        const char* name;
        std::uint8_t unitPlayer;
        std::uint16_t unitIndex;
        std::uint8_t housePlayer;
        std::uint16_t houseIndex;
    } none[] = {
        {"freed slot", 1, 0, 1, 2},  {"index never handed out", 1, 500, 1, 3}, {"no such player", 5, 0, 5, 0},
        {"player without units", 0, 0, 0, 0}, {"none", 255, 65535, 255, 65535},
    };
    g_Strateg[1]->RemoveUnit(0);
    for (const auto& c : none) {
        item->unitPlayer = c.unitPlayer;
        item->unitIndex = c.unitIndex;
        item->housePlayer = c.housePlayer;
        item->houseIndex = c.houseIndex;
        ResolveHeapItemRefs(*item);
        EXPECT_EQ(item->unit, nullptr) << c.name;
        EXPECT_EQ(item->house, nullptr) << c.name;
    }
    FreeHeapItem(item);
    for (int h = 0; h < 3; ++h)
        g_pHouse[1][h].TypeRecord = nullptr;
    FreePlayerHouses(0);
    FreePlayerHouses(1);
}

} // namespace
