#pragma once
// The pure rules of the frame driver: edge scrolling, pacing and the frames-per-second mean.
#include <cstdint>

struct TScrollLimits {
    std::int32_t viewX, viewY;       // view origin in cells
    std::int32_t viewCols, viewRows; // view size in cells
    std::int32_t mapWidth, mapHeight;
};

struct TScrollStep {
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    bool Moves() const { return dx != 0 || dy != 0; }
};

// The step the view takes with the mouse at (x, y) on a screen of w x h pixels.
TScrollStep EdgeScrollStep(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, const TScrollLimits& v);

// Milliseconds the frame sleeps at its end. remaining = budget + last frame tick - now; scrollFlag
// is why the view moved this frame. A scroll speed of 0 is raised to 1 and stored back.
std::uint32_t PacingSleepMs(std::int32_t remaining, std::uint8_t scrollFlag, std::uint8_t& mouseScrollSpeed,
                            std::uint8_t& keyScrollSpeed);

// The running mean of frames per second over 20 samples.
class TFpsMeter {
public:
    // now and last are tick counts in milliseconds; returns the current mean (0 until 20 samples).
    float Sample(std::uint32_t now, std::uint32_t last);

private:
    std::uint8_t m_Count = 0;
    float m_Sum = 0;
    float m_Mean = 0;
};
