#include "combat/ship_waves.h"

#include "core/error_log.h"

TAnimationBank* g_pShipWaveBank = nullptr;

TShipWave::TShipWave(std::uint8_t side) : m_Side(side) {}

void TShipWave::SetWave(std::uint8_t variant)
{
    m_Variant = variant;
    m_Life = 0.0f;
    m_Scale = 0.5f;
    if (g_pShipWaveBank == nullptr || variant >= g_pShipWaveBank->Count())
        return;
    if (g_pShipWaveBank->Set(variant) == nullptr)
        g_pShipWaveBank->Load(g_pShipWaveBank->Folder().c_str(), variant);
    if (TAnimationSprites* sprites = g_pShipWaveBank->Set(variant))
        SetSprites(sprites, false);
}

void TShipWave::SetMoving(bool moving)
{
    m_State = moving ? 1u : 0u;
    if (!moving)
        m_C = m_B;
}

void TShipWave::Show()
{
    // The wave grows toward full length while the ship moves and shrinks while it idles.
    if (m_State != 0)
        m_Stretch = m_Stretch + m_B > 1.0f ? 1.0f : m_Stretch + m_B;
    else
        m_Stretch = m_Stretch + m_A < 0.0f ? 0.0f : m_Stretch + m_A;
    if (m_Stretch <= 0.0f || m_pSprites == nullptr)
        return;
    const float shift = m_Side == 1 ? 0.5f : 1.0f;
    const float saved = m_Factor;
    m_Factor = m_Variant == 6 ? m_Stretch : m_Stretch * shift;
    TAnimationStruct::Show();
    m_Factor = saved;
}

bool ShipWaveInit()
{
    if (g_pShipWaveBank != nullptr)
        return true;
    auto* bank = new TAnimationBank(SHIP_WAVE_FOLDER, 0);
    if (bank->Count() == 0) {
        delete bank;
        ReportError("FAILED: Data\\Misc\\ShipWaves\\");
        return false;
    }
    g_pShipWaveBank = bank;
    return true;
}

void ShipWaveDone()
{
    delete g_pShipWaveBank;
    g_pShipWaveBank = nullptr;
}

TAnimationStruct* MakeShipWave(std::uint8_t side)
{
    auto* wave = new TShipWave(side);
    wave->SetWave(side);
    return wave;
}

void ShipWaveRewind(TAnimationStruct* wave, std::uint8_t side, bool alternative)
{
    auto* w = dynamic_cast<TShipWave*>(wave);
    if (w == nullptr)
        return;
    w->m_Side = side;
    w->SetMoving(alternative);
    w->m_Position = static_cast<float>(w->m_FirstFrame);
}
