// Runs the real program in a sample game folder and checks its exit codes and its log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "platform/single_instance.h"
#include "sample_data.h"
#include "test_support.h"

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sampledata::WriteGameFolder(game.Path())); }

    int Run(const std::string& args, const std::string& env = "")
    {
        const std::string cmd = "cd '" + game.Path() + "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1 XDG_RUNTIME_DIR='" +
                                game.Path() + "' " +
                                env + " '" + std::string(KORVELA_BINARY_DIR) + "/korvela' " + args + " >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Log() { return testsupport::ReadText(game / "ReportError.log"); }

    testsupport::TempDir game;
};

} // namespace

TEST_F(Program, BadCommandLineEndsWithCode2)
{
    EXPECT_EQ(Run("+editor"), 2);
}

TEST_F(Program, SecondCopyEndsWithCode1)
{
    // The lock lives in the runtime folder; each test has its own, so tests may run side by side.
    setenv("XDG_RUNTIME_DIR", game.Path().c_str(), 1);
    ASSERT_TRUE(plat::AcquireSingleInstance("Dorvane", "Dorvane "));
    EXPECT_EQ(Run(""), 1);
    plat::ReleaseSingleInstance();
}

TEST_F(Program, FailedNetworkStartEndsWithCode3)
{
    EXPECT_EQ(Run("+host x +name me"), 3);
}

TEST_F(Program, RunsFramesAndQuitsCleanly)
{
    EXPECT_EQ(Run("+video 0", "KORVELA_TEST_FRAMES=20"), 0);
    EXPECT_EQ(Log().find("FAILED"), std::string::npos) << Log();
}
