#pragma once
// The simulation runner over one sample game folder written for the whole suite: the runner is
// the real program's simulation in a process of its own, and writing the folder takes longer than
// most runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "sample_data.h"
#include "test_support.h"

class SimRunTest : public ::testing::Test {
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

    // Runs the runner in the folder with the arguments (mission, cycles, options), its standard
    // output into the file out of the folder; the exit status, -1 when it did not exit.
    static int SimRun(const std::string& arguments, const std::string& out)
    {
        const std::string cmd = "cd '" + game->Path() +
                                "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1 '" +
                                std::string(KORVELA_BINARY_DIR) + "/tools/simrun/korvela-simrun' . " + arguments +
                                " >" + out + " 2>/dev/null";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Read(const std::string& name) { return testsupport::ReadText(*game / name); }

    static inline testsupport::TempDir* game = nullptr;
    static inline bool written = false;
};
