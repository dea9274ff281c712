// The economy on its own: on the hill map the simulation runner selects the first player's
// workers and places a farm by order; the workers finish it and then gather food into it, so the
// food the runner prints grows between the first cycle and the last.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "game/simrun_fixture.h"

namespace {

class WorkersGame : public SimRunTest {
protected:
    static std::string Run(const std::string& mission, int cycles, const std::string& options)
    {
        EXPECT_EQ(SimRun("'" + mission + "' " + std::to_string(cycles) + " --seed 5 --counts " + options, "counts.txt"), 0)
            << Read("ReportError.log");
        return Read("counts.txt");
    }
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
