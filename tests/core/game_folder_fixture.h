#pragma once
// A private game folder for a test: the game root and the working folder (where the error log is
// written) both point into a fresh temporary folder, so tests running in parallel never share files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "test_support.h"

class GameFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_OldCwd = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        plat::SetGameRoot(dir.Path());
    }
    void TearDown() override
    {
        plat::SetGameRoot(".");
        std::filesystem::current_path(m_OldCwd);
    }
    std::string Log() const { return testsupport::ReadText(dir / "ReportError.log"); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    testsupport::TempDir dir;

private:
    std::filesystem::path m_OldCwd;
};
