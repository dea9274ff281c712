// What the unit graphics reach beyond the loader and the textures, for the ThreadSanitizer build:
// the type class's other operations, the archive reader and two device values.
#include <cstdint>

#include "core/archive.h"
#include "core/loader_thread.h"
#include "devices/d3d_device.h"
#include "units/unit_types.h"

std::uint8_t g_bReducedAnimation = 0;

void RoundUpToPowerOfTwo(std::uint16_t& width, std::uint16_t& height)
{
    auto round = [](std::uint16_t& v) {
        std::uint16_t p = 2;
        while (v <= 512 && p < v)
            p = static_cast<std::uint16_t>(p * 2);
        if (v <= 512)
            v = p;
    };
    round(width);
    round(height);
}

std::uint8_t* LoadLesEntry(std::uint32_t, const char*, std::uint16_t, std::uint32_t*)
{
    return nullptr;
}

void FreeLesEntry(void* buffer)
{
    delete[] static_cast<std::uint8_t*>(buffer);
}

TBasicUnit::TBasicUnit() = default;
TBasicUnit::~TBasicUnit() = default;
bool TBasicUnit::LoadUnitGraphic(std::uint8_t, std::uint8_t, const char*) { return false; }
void TBasicUnit::FreeGraphic() {}
void TBasicUnit::AddRef(std::uint8_t) {}
void TBasicUnit::Release(std::uint8_t) {}
void TBasicUnit::Draw(TUnit*) {}
void TBasicUnit::DrawDead(TUnit*) {}
TPartRecord* TBasicUnit::PartRecord(std::uint8_t) { return nullptr; }
std::uint8_t TBasicUnit::TurnSteps() { return 0; }
void TBasicUnit::CreateAnimationArray(TAnimationStruct**& out) { out = nullptr; }
void TBasicUnit::CreateAnimations(TAnimationStruct**) {}
void TBasicUnit::DestroyAnimations(TAnimationStruct**) {}

// The test installs its own loader; the global one is never reached.
void LoaderRequest(std::unique_ptr<TLoaderRequest>) {}
void WaitLoaderIdle() {}
