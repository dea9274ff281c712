// A damaged save of a running game is refused before the running game goes: the check walks the
// blocks of every chunk (the players' state blocks too) without keeping anything. The damage is a
// chunk cut at each boundary between the blocks its writers wrote, the file cut there, and counts
// raised past the data. The map chunk is walked up to the players' units blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "combat/game_state.h"
#include "combat/shots.h"
#include "core/archive.h"
#include "core/loader_thread.h"
#include "core/memory_stream.h"
#include "game/game_load.h"
#include "game/sample_world_fixture.h"
#include "game/save_game.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/trenches.h"
#include "platform/bytes.h"
#include "players/game_cycle.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"

namespace {

// Where the writers of the save's blocks began and ended, as offsets into the raw image.
struct TBlockMarks {
    std::vector<std::size_t> boundaries;
    std::size_t timedEffects = 0; // the count of the delayed hits
    std::size_t shots = 0;        // the count of the shots
    std::size_t trenches = 0;     // the trench list's capacity and count
    std::size_t firstUnits = 0;   // where the first units block began
};

struct TChunkAt {
    std::size_t at; // the chunk header
    std::uint16_t id;
    std::uint32_t length;
    std::size_t Data() const { return at + SAVE_CHUNK_HEADER; }
    std::size_t End() const { return Data() + length; }
};

std::vector<TChunkAt> ChunksOf(const std::vector<std::uint8_t>& raw)
{
    std::vector<TChunkAt> chunks;
    for (std::size_t at = 0; at + SAVE_CHUNK_HEADER <= raw.size();) {
        const TChunkAt c{at, plat::ReadU16LE(&raw[at]), plat::ReadU32LE(&raw[at + 2])};
        chunks.push_back(c);
        at = c.End();
    }
    return chunks;
}

// The image with one chunk's data ending at the offset: the framing stays sound, so only the walk
// of the chunk's blocks can tell.
std::vector<std::uint8_t> CutChunk(const std::vector<std::uint8_t>& raw, const TChunkAt& chunk, std::size_t at)
{
    std::vector<std::uint8_t> cut(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(at));
    cut.insert(cut.end(), raw.begin() + static_cast<std::ptrdiff_t>(chunk.End()), raw.end());
    plat::WriteU32LE(&cut[chunk.at + 2], static_cast<std::uint32_t>(at - chunk.Data()));
    return cut;
}

class SaveCheckWalk : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        std::filesystem::create_directories(folder->Path() + "/Save");
        ClearLog();
    }
    void TearDown() override
    {
        SaveServices() = TSaveServices::Default();
        FreeGame();
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }

    // The coast map's eight computer players a few hundred cycles in: units walk, shots fly.
    void PlayCoast(int cycles)
    {
        ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr)) << Log();
        for (std::uint8_t p = 0; p < g_wNumPlayer; ++p)
            g_Strateg[p]->Kind = PLAYER_KIND_COMPUTER;
        for (int c = 0; c < cycles; ++c)
            NetworkFrame();
    }

    // The save of the running game with the offsets where its writers began and ended.
    std::vector<std::uint8_t> MarkedImage(TBlockMarks& marks)
    {
        TSaveServices& s = SaveServices();
        const TSaveServices real = s;
        auto around = [&marks](TOfStreamMemory& out, const auto& write) {
            marks.boundaries.push_back(static_cast<std::size_t>(out.Pos()));
            write();
            marks.boundaries.push_back(static_cast<std::size_t>(out.Pos()));
        };
        s.saveStrateg = [&](std::uint8_t p, TOfStreamMemory& out) { around(out, [&] { real.saveStrateg(p, out); }); };
        s.saveStrategUnits = [&](std::uint8_t p, TOfStreamMemory& out) {
            if (marks.firstUnits == 0)
                marks.firstUnits = static_cast<std::size_t>(out.Pos());
            around(out, [&] { real.saveStrategUnits(p, out); });
        };
        s.saveCraters = [&](TOfStreamMemory& out) { around(out, [&] { real.saveCraters(out); }); };
        s.saveEditorHouses = [&](TOfStreamMemory& out) { around(out, [&] { real.saveEditorHouses(out); }); };
        s.saveEffects = [&](TOfStreamMemory& out) {
            marks.timedEffects = static_cast<std::size_t>(out.Pos());
            around(out, [&] { SaveTimedEffects(out); });
            marks.shots = static_cast<std::size_t>(out.Pos());
            around(out, [&] { SaveShots(out); });
        };
        s.saveTrenchList = [&](TOfStreamMemory& out) {
            marks.trenches = static_cast<std::size_t>(out.Pos());
            bool ok = false;
            around(out, [&] { ok = real.saveTrenchList(out); });
            return ok;
        };
        TOfStreamMemory out;
        const bool built = BuildSaveImage(out);
        s = real;
        EXPECT_TRUE(built) << Log();
        return {out.Data(), out.Data() + out.Size()};
    }
};

} // namespace

TEST_F(SaveCheckWalk, DamagedSavesAreRefusedBeforeTheRunningGameGoes)
{
    PlayCoast(300);
    TBlockMarks marks;
    const std::vector<std::uint8_t> good = MarkedImage(marks);
    ASSERT_TRUE(CheckSaveImage(good)) << Log();
    const std::vector<TChunkAt> chunks = ChunksOf(good);

    // Every boundary inside a chunk the load reads: the blocks' own, the map chunk's header and
    // layers, and the chunks' last bytes.
    std::vector<std::size_t> cuts = marks.boundaries;
    for (const TChunkAt& c : chunks) {
        cuts.push_back(c.Data());
        cuts.push_back(c.End() - 1);
        if (c.id == SAVE_CHUNK_GAME_MAP) {
            const std::size_t cells = std::size_t{g_MapWidth} * g_MapHeight;
            cuts.push_back(c.Data() + 18);
            cuts.push_back(c.Data() + 18 + cells * (1 + MAP_CELL_BYTES + 2 + 1));
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    // Where the units' entries of the link blocks begin: after the "Units" tag.
    std::size_t unitLinks = 0;
    for (const TChunkAt& c : chunks)
        if (c.id == SAVE_CHUNK_LINKS) {
            const char tag[] = {'U', 'n', 'i', 't', 's'};
            const auto at = std::search(good.begin() + static_cast<std::ptrdiff_t>(c.Data()),
                                        good.begin() + static_cast<std::ptrdiff_t>(c.End()), std::begin(tag), std::end(tag));
            unitLinks = static_cast<std::size_t>(at - good.begin()) + sizeof tag;
            cuts.push_back(unitLinks - 1);
        }
    ASSERT_GT(unitLinks, 0u);
    struct TCase {
        std::string name;
        std::vector<std::uint8_t> raw;
    };
    std::vector<TCase> cases;
    for (std::size_t cut : cuts)
        for (const TChunkAt& c : chunks) {
            // The information and the minimap picture are only shown in the save list.
            if (c.id == SAVE_CHUNK_INFO || c.id == SAVE_CHUNK_MINIMAP || cut < c.Data() || cut >= c.End())
                continue;
            const std::string where = "chunk " + std::to_string(c.id) + " at " + std::to_string(cut - c.Data());
            // The units blocks and what follows them in the map chunk, and the units' entries of
            // the link blocks, are left to the load.
            if ((c.id != SAVE_CHUNK_GAME_MAP || cut < marks.firstUnits) && (c.id != SAVE_CHUNK_LINKS || cut < unitLinks))
                cases.push_back({"cut " + where, CutChunk(good, c, cut)});
            cases.push_back({"file ends in " + where, {good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)}});
        }
    auto raised = [&](const char* name, std::size_t at, int bytes, std::uint32_t value) {
        std::vector<std::uint8_t> raw = good;
        if (bytes == 4)
            plat::WriteU32LE(&raw[at], value);
        else
            plat::WriteU16LE(&raw[at], static_cast<std::uint16_t>(value));
        cases.push_back({name, raw});
    };
    raised("delayed hits past the block", marks.timedEffects, 4, plat::ReadU32LE(&good[marks.timedEffects]) + 100000);
    raised("one shot more than the block holds", marks.shots, 4, plat::ReadU32LE(&good[marks.shots]) + 1);
    {
        std::vector<std::uint8_t> raw = good;
        plat::WriteU16LE(&raw[marks.trenches], kTrenchListMaxEntries);
        plat::WriteU16LE(&raw[marks.trenches + 2], kTrenchListMaxEntries);
        cases.push_back({"trench pieces past the block", raw});
    }
    ASSERT_GT(cases.size(), 2u * 2 * 8);

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLog();
        EXPECT_FALSE(CheckSaveImage(c.raw));
        EXPECT_FALSE(Log().empty()) << "refused without a message";
    }

    // Through the quick load: the file is refused and the game plays on as it was.
    const std::uint64_t before = SimulationChecksum();
    const std::uint8_t* heights = g_pHeightMap;
    const std::size_t firstBlock = marks.boundaries.front();
    for (const TCase* c : {&cases.front(), &cases[cases.size() / 2], &cases.back()}) {
        SCOPED_TRACE(c->name);
        ASSERT_TRUE(SaveCompressedFile("Save\\bad.svg", c->raw.data(), static_cast<std::int32_t>(c->raw.size())));
        ClearLog();
        EXPECT_FALSE(ReplaceGameFromSave("Save\\bad.svg"));
        EXPECT_TRUE(Logged("the running game stays")) << Log();
        EXPECT_EQ(g_pHeightMap, heights);
        EXPECT_EQ(SimulationChecksum(), before);
    }
    EXPECT_GT(firstBlock, 0u);
    EXPECT_GT(marks.firstUnits, firstBlock);
}
