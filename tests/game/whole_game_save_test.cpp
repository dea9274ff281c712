// A save holds the whole game: the coast map's eight computer players, saved after 5,000 cycles by
// the simulation runner, load into a game with the checksum of the moment of saving, save again
// into the same file, and play on exactly as the saving game played on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "core/archive.h"
#include "platform/bytes.h"
#include "platform/paths.h"
#include "sample_data.h"
#include "test_support.h"

namespace {

constexpr const char* kMission = "Data\\Campaigns\\Sample\\Coast.mis";
constexpr int kSaveCycle = 5000;
constexpr int kGoOn = 150;

struct TRun {
    int status = -1;
    std::string marked;              // the "saved" or "loaded" line's checksum line
    std::vector<std::string> after;  // the trail after it
};

class WholeGameSave : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        game = new testsupport::TempDir;
        if (!sampledata::WriteGameFolder(game->Path()))
            return;
        std::filesystem::create_directories(*game / "Save");
        const std::string options = "--seed 5 --computer 0,1,2,3,4,5,6,7";
        saving = Run("'" + std::string(kMission) + "' " + std::to_string(kSaveCycle + kGoOn) + " " + options +
                         " --save-at " + std::to_string(kSaveCycle) + " 'Save\\first.svg'",
                     "saved ");
        if (saving.status != 0)
            return;
        loaded = Run("- " + std::to_string(kGoOn) + " " + options + " --load 'Save\\first.svg' --save-at 0 'Save\\again.svg'",
                     "loaded ");
        ready = loaded.status == 0;
    }
    static void TearDownTestSuite()
    {
        delete game;
        game = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(ready) << testsupport::ReadText(*game / "ReportError.log"); }

    // The runner's trail: the line its mark names, and the cycles' lines after it.
    static TRun Run(const std::string& arguments, const std::string& mark)
    {
        const std::string cmd = "cd '" + game->Path() +
                                "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1 '" +
                                std::string(KORVELA_BINARY_DIR) + "/tools/simrun/korvela-simrun' . " + arguments +
                                " >trail.txt 2>/dev/null";
        const int status = std::system(cmd.c_str());
        TRun run;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::istringstream lines(testsupport::ReadText(*game / "trail.txt"));
        std::string line;
        bool marked = false;
        while (std::getline(lines, line)) {
            if (line.rfind(mark, 0) == 0) {
                run.marked = line.substr(mark.size());
                marked = true;
            } else if (marked && line.rfind("saved ", 0) != 0) {
                run.after.push_back(line);
            }
        }
        return run;
    }

    // The raw content of a save file.
    static std::vector<std::uint8_t> RawSave(const char* name)
    {
        plat::SetGameRoot(game->Path());
        std::uint32_t size = 0;
        std::uint8_t* bytes = LoadCompressedFile(name, &size);
        std::vector<std::uint8_t> raw(bytes, bytes + (bytes ? size : 0));
        FreeCompressedFile(bytes);
        plat::SetGameRoot(".");
        return raw;
    }

    static inline testsupport::TempDir* game = nullptr;
    static inline TRun saving;
    static inline TRun loaded;
    static inline bool ready = false;
};

// Where two raw saves first differ: the chunk and the offset inside its data.
std::string FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    if (i == n && a.size() == b.size())
        return "";
    for (std::size_t at = 0; at + 6 <= a.size();) {
        const std::size_t end = at + 6 + plat::ReadU32LE(&a[at + 2]);
        if (i < end)
            return "chunk " + std::to_string(plat::ReadU16LE(&a[at])) + " at " + std::to_string(i - at - 6);
        at = end;
    }
    return "byte " + std::to_string(i);
}

} // namespace

// One test: the runs take most of two minutes with the sanitizers, and each test runs in a process
// of its own.
TEST_F(WholeGameSave, LoadedGameIsTheSavedGame)
{
    // The checksum of the loaded game is that of the moment of saving.
    ASSERT_FALSE(saving.marked.empty());
    EXPECT_EQ(saving.marked.substr(0, saving.marked.find(' ')), std::to_string(kSaveCycle));
    EXPECT_EQ(loaded.marked, saving.marked);

    // Saved, loaded and saved again: the same content, and nothing of the moment of writing enters
    // the file, so the files are alike too.
    const std::vector<std::uint8_t> first = RawSave("Save\\first.svg");
    const std::vector<std::uint8_t> again = RawSave("Save\\again.svg");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(FirstDifference(first, again), "");
    EXPECT_TRUE(testsupport::ReadText(*game / "Save/first.svg") == testsupport::ReadText(*game / "Save/again.svg"));

    // The loaded game plays on as the saving game did.
    ASSERT_EQ(saving.after.size(), static_cast<std::size_t>(kGoOn));
    ASSERT_EQ(loaded.after.size(), static_cast<std::size_t>(kGoOn));
    for (int c = 0; c < kGoOn; ++c)
        ASSERT_EQ(loaded.after[c], saving.after[c]) << "cycle " << c + 1 << " after the load";
}
