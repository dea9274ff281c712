#include "game/frame_rules.h"

TScrollStep EdgeScrollStep(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, const TScrollLimits& v)
{
    const bool atLeft = x <= 0;
    const bool atTop = y <= 0;
    const bool atRight = x >= w - 4;
    const bool atBottom = y >= h - 4;
    const bool canLeft = v.viewX > 1;
    const bool canUp = v.viewY > 2;
    const bool canRight = v.viewX < v.mapWidth - v.viewCols - 2;
    const bool canDown = v.viewY < v.mapHeight - v.viewRows - 10;

    // A corner moves diagonally or not at all: it never falls back to one of its edges.
    struct Corner {
        bool at;
        bool can;
        std::int32_t dx, dy;
    };
    const Corner corners[] = {
        {atLeft && atTop, canLeft && canUp, -1, -1},
        {atLeft && atBottom, canLeft && canDown, -1, 1},
        {atRight && atTop, canRight && canUp, 1, -1},
        {atRight && atBottom, canRight && canDown, 1, 1},
    };
    for (const auto& c : corners)
        if (c.at)
            return c.can ? TScrollStep{c.dx, c.dy} : TScrollStep{};
    if (atLeft)
        return canLeft ? TScrollStep{-1, 0} : TScrollStep{};
    if (atTop)
        return canUp ? TScrollStep{0, -1} : TScrollStep{};
    if (atRight)
        return canRight ? TScrollStep{1, 0} : TScrollStep{};
    if (atBottom)
        return canDown ? TScrollStep{0, 1} : TScrollStep{};
    return {};
}

std::uint32_t PacingSleepMs(std::int32_t remaining, std::uint8_t scrollFlag, std::uint8_t& mouseScrollSpeed,
                            std::uint8_t& keyScrollSpeed)
{
    if (scrollFlag == 0)
        return remaining > 9 && remaining < 200 ? static_cast<std::uint32_t>(remaining) : 0;
    if (scrollFlag == 1 || scrollFlag == 2) {
        std::uint8_t& speed = scrollFlag == 1 ? mouseScrollSpeed : keyScrollSpeed;
        if (speed == 0)
            speed = 1;
        return static_cast<std::uint32_t>(((100 / speed) / 20) * 20);
    }
    return 0;
}

float TFpsMeter::Sample(std::uint32_t now, std::uint32_t last)
{
    if (now != last) {
        m_Count = static_cast<std::uint8_t>(m_Count + 1);
        m_Sum += static_cast<float>(1000 / (now - last));
        if (m_Count == 20) {
            m_Mean = m_Sum * 0.05f;
            m_Count = 0;
            m_Sum = 0;
        }
    }
    return m_Mean;
}
