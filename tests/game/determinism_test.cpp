// The simulation is a pure function of the game folder, the mission, the seed and the orders: two
// processes of the simulation runner print the same checksum trail, and the real program, which
// draws and paces its frames, writes the same trail with KORVELA_TEST_HASH.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "game/simrun_fixture.h"

namespace {

constexpr const char* kMission = "Data\\Campaigns\\Sample\\Coast.mis";

class Determinism : public SimRunTest {
protected:
    // A command run in the game folder with the dummy drivers; its exit status.
    static int Shell(const std::string& command)
    {
        const std::string cmd = "cd '" + game->Path() + "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1 " + command;
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The runner's trail of a number of cycles into a file of the game folder.
    static int Trail(const std::string& out, int cycles, const std::string& options)
    {
        return SimRun("'" + std::string(kMission) + "' " + std::to_string(cycles) + " " + options, out);
    }
    static std::size_t Lines(const std::string& text)
    {
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }

};

TEST_F(Determinism, TwoRunnerProcessesPrintTheSameTrail)
{
    const std::string options = "--seed 7 --computer 0,1,2,3,4,5,6,7";
    ASSERT_EQ(Trail("a.txt", 2000, options), 0) << Read("ReportError.log");
    ASSERT_EQ(Trail("b.txt", 2000, options), 0);
    const std::string a = Read("a.txt");
    EXPECT_EQ(Lines(a), 2000u);
    EXPECT_EQ(a.substr(0, 2), "1 ");
    EXPECT_EQ(a, Read("b.txt"));
    // Another seed is another game.
    ASSERT_EQ(Trail("c.txt", 20, "--seed 8 --computer 0,1,2,3,4,5,6,7"), 0);
    EXPECT_NE(a.substr(0, Read("c.txt").size()), Read("c.txt"));
}

TEST_F(Determinism, TheDrawnGameWritesTheRunnersTrail)
{
    ASSERT_EQ(Trail("runner.txt", 200, "--seed 11"), 0);
    const std::string env = std::string("KORVELA_TEST_MISSION='") + kMission +
                            "' KORVELA_TEST_FRAMES=150 KORVELA_TEST_SEED=11 KORVELA_TEST_HASH=drawn.txt XDG_RUNTIME_DIR='" +
                            game->Path() + "'";
    ASSERT_EQ(Shell(env + " '" + std::string(KORVELA_BINARY_DIR) + "/korvela' +video 0 >/dev/null 2>&1"), 0);
    const std::string drawn = Read("drawn.txt");
    ASSERT_GT(Lines(drawn), 50u) << "the program ran its cycles";
    EXPECT_EQ(drawn, Read("runner.txt").substr(0, drawn.size()));
}

} // namespace
