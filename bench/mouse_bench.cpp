// The mouse thread's work per wake-up: draining a full buffer of records and moving the cursor on
// a full-size front surface, and the cursor redraw alone for short and long moves.
#include <benchmark/benchmark.h>

#include <memory>

#include "devices/display.h"
#include "devices/mouse.h"

namespace {

struct CursorScene {
    CursorScene()
    {
        front = std::make_unique<plat::Surface>(1024, 768, plat::PixelFormat::RGB565);
        cursor = std::make_unique<plat::Surface>(32, 32, plat::PixelFormat::RGB565);
        under = std::make_unique<plat::Surface>(32, 32, plat::PixelFormat::RGB565);
        unionSurf = std::make_unique<plat::Surface>(64, 64, plat::PixelFormat::RGB565);
        cursor->SetColorKey(0xF81F);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                cursor->Pixels().Row16(y)[x] = x < y ? 0xFFFF : 0xF81F;
        g_pCursorSurf[0] = cursor.get();
        g_pSurfUnderCursor = under.get();
        g_pCursorUnionSurf = unionSurf.get();
        g_CursorWidth = g_CursorHeight = 32;
        g_CursorRect = {0, 0, 32, 32};
        g_CursorIndex = 0;
        g_bCursorVisible = 1;
        g_MouseX = g_PrevMouseX = 500;
        g_MouseY = g_PrevMouseY = 400;
    }
    ~CursorScene()
    {
        g_pCursorSurf[0] = nullptr;
        g_pSurfUnderCursor = nullptr;
        g_pCursorUnionSurf = nullptr;
    }
    std::unique_ptr<plat::Surface> front, cursor, under, unionSurf;
};

void BM_RedrawCursor(benchmark::State& state)
{
    CursorScene scene;
    const int step = static_cast<int>(state.range(0));
    int direction = 1;
    for (auto _ : state) {
        g_PrevMouseX = g_MouseX;
        g_PrevMouseY = g_MouseY;
        g_MouseX += step * direction;
        g_MouseY += step * direction;
        direction = -direction;
        RedrawCursor(scene.front.get());
        benchmark::ClobberMemory();
    }
}
// 3 pixels: the union path; 100 pixels: two separate rectangles.
BENCHMARK(BM_RedrawCursor)->Arg(3)->Arg(100);

void BM_MouseBatch64(benchmark::State& state)
{
    CursorScene scene;
    auto input = plat::InputSystem::Create();
    auto mouse = input ? input->CreateMouse() : nullptr;
    if (!mouse) {
        state.SkipWithError("no input system");
        return;
    }
    mouse->Acquire();
    g_pMouseDevice = mouse.get();
    plat::Surface* primary = g_pDDSPrimary;
    const auto width = g_ScreenWidth, height = g_ScreenHeight;
    g_pDDSPrimary = scene.front.get();
    g_ScreenWidth = 1024;
    g_ScreenHeight = 768;
    int direction = 1;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 32; ++i)
            mouse->AddMotion(direction, direction, static_cast<std::uint32_t>(i));
        direction = -direction;
        state.ResumeTiming();
        MouseThreadBatch();
    }
    state.SetItemsProcessed(state.iterations() * 64);
    g_pMouseDevice = nullptr;
    g_pDDSPrimary = primary;
    g_ScreenWidth = width;
    g_ScreenHeight = height;
}
BENCHMARK(BM_MouseBatch64);

} // namespace
