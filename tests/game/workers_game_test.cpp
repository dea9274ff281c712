// The economy on its own: on the hill map the simulation runner selects the first player's
// workers and places a farm by order; the workers finish it and then gather food into it, so the
// food the runner prints grows between the first cycle and the last.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "sample_data.h"
#include "test_support.h"

namespace {

class WorkersGame : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        game = new testsupport::TempDir;
        written = sampledata::WriteGameFolder(game->Path());
    }
    static void TearDownTestSuite()
    {
        delete game;
        game = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(written); }

    static std::string Run(const std::string& mission, int cycles, const std::string& options)
    {
        const std::string cmd = "cd '" + game->Path() +
                                "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1 '" +
                                std::string(KORVELA_BINARY_DIR) + "/tools/simrun/korvela-simrun' . '" + mission + "' " +
                                std::to_string(cycles) + " --seed 5 --counts " + options + " >counts.txt 2>/dev/null";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testsupport::ReadText(*game / "ReportError.log");
        return testsupport::ReadText(*game / "counts.txt");
    }

    static inline testsupport::TempDir* game = nullptr;
    static inline bool written = false;
};

TEST_F(WorkersGame, WorkersFinishAFarmPlacedByOrderAndRaiseTheFood)
{
    const std::string out = Run("Data\\Campaigns\\Sample\\Hills.mis", 5000, "--build 0,15");
    std::istringstream lines(out);
    std::string line;
    double before = -1.0;
    double after = -1.0;
    std::string state;
    while (std::getline(lines, line)) {
        std::printf("%s\n", line.c_str());
        int p = 0;
        const std::size_t food = line.find(" food ");
        if (std::sscanf(line.c_str(), "player %d:", &p) == 1 && p == 0 && food != std::string::npos)
            std::sscanf(line.c_str() + food, " food %lf %lf", &before, &after);
        char word[16] = {};
        unsigned index = 0;
        unsigned type = 0;
        if (std::sscanf(line.c_str(), "order 0: house %u type %u %15s", &index, &type, word) == 3)
            state = word;
    }
    EXPECT_EQ(state, "finished") << "the farm placed by order was not finished by the workers";
    ASSERT_GE(before, 0.0);
    EXPECT_GT(after, before) << "the workers gathered no food";
}

} // namespace
