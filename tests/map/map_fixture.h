#pragma once
// A map of the given size made with SetMapGeometry and released with DestroyMap, and a reader of
// what the error log gained meanwhile.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "map/map_grid.h"
#include "sample_terrain.h"
#include "test_support.h"

namespace maptest {

// Entries appended to ReportError.log (in the test's working folder) since construction.
class LogWatch {
public:
    LogWatch() : m_Start(testsupport::ReadText("ReportError.log").size()) {}
    std::string Added() const
    {
        const std::string text = testsupport::ReadText("ReportError.log");
        return text.size() > m_Start ? text.substr(m_Start) : std::string();
    }
    int Count(const std::string& message) const
    {
        const std::string text = Added();
        int n = 0;
        for (std::size_t at = text.find(message); at != std::string::npos; at = text.find(message, at + 1))
            ++n;
        return n;
    }

private:
    std::size_t m_Start;
};

class TestMap {
public:
    TestMap(std::uint16_t width, std::uint16_t height)
    {
        g_MapWidth = width;
        g_MapHeight = height;
        ok = SetMapGeometry();
    }
    ~TestMap() { DestroyMap(); }
    TestMap(const TestMap&) = delete;
    TestMap& operator=(const TestMap&) = delete;

    void SetHeight(int x, int y, std::uint8_t h) { g_pHeightMap[y * g_MapWidth + x] = h; }
    void FillHeights(const std::vector<std::uint8_t>& heights)
    {
        for (std::size_t i = 0; i < heights.size() && i < g_MapCellCount; ++i)
            g_pHeightMap[i] = heights[i];
    }
    bool ok = false;
};

} // namespace maptest
