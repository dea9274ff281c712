#pragma once
// Ship bow waves: two animated instances per ship, one on each side, stretched with the ship's
// speed. Visual only: nothing of the simulation reads them.
#include <cstdint>

#include "devices/animation.h"

class TAnimationBank;

constexpr char SHIP_WAVE_FOLDER[] = "Data\\Misc\\ShipWaves\\";

class TShipWave : public TAnimationStruct {
public:
    explicit TShipWave(std::uint8_t side);
    ~TShipWave() override = default;
    // Draws the wave stretched along its length by the stretch factor.
    void Show() override;
    // Takes the bank's set `variant` (loaded on first use); none when the bank has fewer sets.
    void SetWave(std::uint8_t variant);
    // Moving (state 1) or idle (state 0, c = b).
    void SetMoving(bool moving);

    std::uint8_t m_Variant = 0;
    float m_A = -0.02f;
    float m_B = 0.04f;
    float m_C = 0.0f;
    float m_Stretch = 0.0f;
    std::uint32_t m_Side = 0;
    std::uint32_t m_State = 1;
    float m_Life = 0.0f;
    float m_Scale = 0.5f;
};

// The wave bank; null until ShipWaveInit succeeded. Main thread only.
extern TAnimationBank* g_pShipWaveBank;

// Loads the ship-wave bank once; false (after logging) when it cannot be loaded.
bool ShipWaveInit();
// Deletes the bank at game end.
void ShipWaveDone();
// A new wave instance of side 0 or 1.
TAnimationStruct* MakeShipWave(std::uint8_t side);
// Sets a wave instance of side 0 or 1 idle, or (alternative) moving.
void ShipWaveRewind(TAnimationStruct* wave, std::uint8_t side, bool alternative);
