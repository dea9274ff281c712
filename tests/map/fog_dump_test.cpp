#include "fog_fixture.h"
#include "platform/surface.h"
#include "devices/display.h"
#include "platform/draw.h"
#include <cstdio>
#include <cmath>
#include <cstdlib>

#include "platform/window.h"

TEST_F(FogTest, DumpPicture)
{
    if (!std::getenv("FOG_DUMP")) GTEST_SKIP();
    ASSERT_TRUE(InitSuperFog());
    const char* scene = std::getenv("FOG_DUMP");
    if (scene[0] == '1') { AddUnit(0, 25, 50, 3); AddUnit(0, 21, 70, 4); }
    if (scene[0] == '2') { for (int a = 0; a < 12; ++a) AddUnit(0, 25 + int(4*cos(a*0.52)), 57 + int(9*sin(a*0.52)), 2); }
    if (scene[0] == '3') { AddUnit(0, 25, 57, 9); }
    if (scene[0] == '4') { for (int a = 0; a < 24; ++a) AddUnit(0, 25 + int(6*cos(a*0.2618)), 62 + int(16*sin(a*0.2618)), 3); }
    // A ring: seen annulus with a fog island: reveal point and nothing else.
    FullPass();
    if (scene[0] == '5') {
        for (int j = 0; j < g_FogViewSurface->Height(); ++j) for (int i = 0; i < g_FogViewSurface->Width(); ++i) {
            double dx = (i - 10.5) / 3.5, dy = (j - 27) / 8.0;
            bool hole = dx*dx + dy*dy < 1.0;
            if (scene[1] == 'd') { int h = 3 - std::abs(j - 27); hole = h >= 0 && i >= 10 - h && i <= 11 + h; }
            bool out = (i-10.5)*(i-10.5)/42.0 + (j-27)*(j-27)/(17.0*17) > 1.0;
            g_FogViewSurface->Pixels().Row16(j)[i] = hole || out ? 0 : MakeColor16(255,0,255);
        }
        FreeFogBody(); FogGridFromView(); FindFogContours(); TraceFogCurves(); SmoothFogCurves(); AlignCurve(); BuildFogCornerTriangles(); BuildFogSpans(); BuildSoftFogBands();
    }
    for (int y = 0; y < 768; ++y) for (int x = 0; x < 1024; ++x)
        g_pDDSBack->Pixels().Row16(y)[x] = MakeColor16(60 + (x/32+y/32)%2*40, 140, 60);
    for (TScreenVertex& v : g_SpriteQuadTemplate) v.diffuse = 0xFFE5E5E5;
    DrawSuperFog();
    plat::WriteSurfaceBmp(*g_pDDSBack, "/tmp/fog_dump.bmp");
    for (int j = 0; j < g_FogViewSurface->Height(); ++j) { for (int i = 0; i < g_FogViewSurface->Width(); ++i) putchar(g_FogViewSurface->Pixels().Row16(j)[i] ? '.' : '#'); putchar('\n'); }
    FogGridFromView(); size_t nc = FindFogContours(); printf("contours %zu\n", nc);
    for (int y = 0; y < g_FogGridHeight; ++y) { for (int x = 0; x < g_FogGridWidth; ++x) { int v = FogGridCell(x,y); putchar(v==255?'+':v==0?'.':v==1?'#':'0'+v); } putchar('\n'); }
    TraceFogCurves();
    for (auto& c : g_FogCurves) { printf("traced %d hole %d:", c.count, c.hole); for (int i = 0; i < c.count; ++i) printf(" (%g,%g)", c.pt[i].x, c.pt[i].y); printf("\n"); }
    printf("curves %zu tri %d quads %d\n", g_FogCurves.size(), g_FogTriangleCount, g_FogQuadCount);
    for (auto& c : g_FogCurves) printf(" curve count %d hole %d\n", c.count, c.hole);
}
