#include "map/trench_pieces.h"

#include <mutex>
#include <string>

#include "devices/cursor_state.h"
#include "devices/image_files.h"
#include "devices/mouse.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "movement/passability.h"
#include "movement/path_search.h"

TTrenchPieces* g_pTrenchPieces = nullptr;
plat::Texture* g_TrenchPieceTextures[kTrenchPieceKinds] = {};
plat::Texture* g_TrenchDepthTextures[kTrenchPieceKinds] = {};
TScreenVertex g_TrenchQuads[kTrenchMeshMaxVertices] = {};
std::uint8_t g_bTrenchDragging = 0;
std::uint8_t g_bTrench = 0;
std::uint32_t g_TrenchDragStartX = 0;
std::uint32_t g_TrenchDragStartY = 0;

const char* const g_TrenchPieceNames[kTrenchPieceKinds] = {
    "L", "R", "LUE", "RDE", "RUE", "LDE", "LC", "RC", "UC", "DC", "LUCross", "RDCross", "RUCross", "LDCross", "Cross", "Dot",
};

const std::uint8_t g_TrenchMergeTable[15][10] = {
    {0, 14, 0, 0, 13, 12, 12, 13, 13, 12},
    {14, 1, 11, 10, 1, 1, 11, 10, 11, 10},
    {0, 11, 2, 0, 8, 6, 6, 13, 8, 12},
    {0, 10, 0, 3, 7, 9, 12, 7, 13, 9},
    {13, 1, 8, 7, 4, 1, 11, 7, 8, 10},
    {12, 1, 6, 9, 1, 5, 6, 10, 11, 9},
    {12, 11, 6, 12, 11, 7, 6, 14, 11, 12},
    {13, 10, 13, 7, 7, 10, 14, 7, 13, 10},
    {13, 11, 8, 13, 8, 11, 11, 13, 8, 14},
    {12, 10, 12, 9, 10, 9, 12, 10, 14, 9},
    {14, 10, 14, 10, 10, 10, 14, 10, 14, 10},
    {14, 11, 11, 14, 11, 11, 11, 14, 11, 14},
    {12, 14, 12, 12, 14, 12, 12, 14, 14, 12},
    {13, 14, 13, 13, 13, 14, 14, 13, 13, 14},
    {14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
};

namespace {

// A lattice point: its pixel offset from the cell's left corner and where its height comes from
// (its own sample when a == b, else the mean of points a and b).
struct TLatticePoint {
    std::int16_t dx;
    std::int16_t dy;
    std::uint8_t a;
    std::uint8_t b;
};
constexpr TLatticePoint kLattice[kTrenchLatticePoints] = {
    {-96, 0, 0, 0},    {-72, -12, 0, 2},  {-48, -24, 2, 2},  {-24, -36, 2, 4},  {0, -48, 4, 4},
    {24, -60, 4, 6},   {48, -72, 6, 6},   {-72, 12, 0, 14},  {-48, 0, 2, 14},   {-24, -12, 2, 16},
    {0, -24, 4, 16},   {24, -36, 4, 17},  {48, -48, 6, 17},  {72, -60, 6, 19},  {-48, 24, 14, 14},
    {-24, 12, 14, 16}, {0, 0, 16, 16},    {48, -24, 17, 17}, {72, -36, 17, 19}, {96, -48, 19, 19},
    {-24, 36, 14, 24}, {0, 24, 16, 24},   {96, -24, 19, 27}, {120, -36, 19, 29}, {0, 48, 24, 24},
    {24, 36, 24, 26},  {48, 24, 26, 26},  {96, 0, 27, 27},   {120, -12, 27, 29}, {144, -24, 29, 29},
    {24, 60, 24, 37},  {48, 48, 26, 37},  {72, 36, 26, 39},  {96, 24, 27, 39},  {120, 12, 27, 41},
    {144, 0, 29, 41},  {168, -12, 29, 43}, {48, 72, 37, 37}, {72, 60, 37, 39},  {96, 48, 39, 39},
    {120, 36, 39, 41}, {144, 24, 41, 41}, {168, 12, 41, 43}, {192, 0, 43, 43},
};

// A height sample: one of the four cells around the piece (C0 the piece's cell, C1 its neighbour in
// direction 1, C2 its neighbour in direction 2, C3 the next column), an offset, the lattice point.
struct THeightSample {
    std::uint8_t cell;
    std::int8_t dx;
    std::int8_t dy;
    std::uint8_t point;
};
constexpr THeightSample kSamples[kTrenchHeightSamples] = {
    {0, -1, 0, 0}, {1, -1, 0, 2}, {0, 0, -2, 4}, {1, 0, -2, 6}, {2, -1, 0, 14}, {0, 0, 0, 16},
    {1, 0, 0, 17}, {3, 0, -2, 19}, {0, 0, 2, 24}, {2, 0, 0, 26}, {3, 0, 0, 27}, {1, 1, 0, 29},
    {2, 0, 2, 37}, {3, 0, 2, 39}, {2, 1, 0, 41}, {0, 2, 0, 43},
};

struct TMeshVertex {
    std::uint8_t point;
    float u;
    float v;
};
struct TKindMesh {
    std::uint8_t sampleCount;
    std::uint8_t samples[kTrenchHeightSamples];
    std::uint8_t vertexCount;
    TMeshVertex vertices[kTrenchMeshMaxVertices];
    std::uint8_t indexCount;
    std::uint16_t indices[kTrenchMeshMaxIndices];
};
constexpr TKindMesh kMeshes[kTrenchPieceKinds] = {
    // 0 "L"
    {8, {4, 5, 6, 7, 8, 9, 10, 11}, 10, {{15, 0.0f, 0.0f}, {16, 0.25f, 0.0f}, {17, 0.75f, 0.0f}, {18, 0.99999f, 0.0f}, {21, 0.0f, 0.5f}, {22, 0.99999f, 0.5f}, {25, 0.0f, 0.99999f}, {26, 0.25f, 0.99999f}, {27, 0.75f, 0.99999f}, {28, 0.99999f, 0.99999f}}, 24, {0, 1, 4, 4, 1, 6, 6, 1, 7, 1, 2, 7, 7, 2, 8, 2, 3, 8, 8, 3, 5, 8, 5, 9}},
    // 1 "R"
    {8, {1, 2, 5, 6, 9, 10, 13, 14}, 10, {{9, 0.0f, 0.0f}, {10, 0.5f, 0.0f}, {11, 0.99999f, 0.0f}, {16, 0.0f, 0.25f}, {17, 0.99999f, 0.25f}, {26, 0.0f, 0.75f}, {27, 0.99999f, 0.75f}, {32, 0.0f, 0.99999f}, {33, 0.5f, 0.99999f}, {34, 0.99999f, 0.99999f}}, 24, {0, 1, 3, 3, 1, 2, 3, 2, 4, 3, 4, 5, 5, 4, 6, 5, 6, 7, 7, 6, 8, 6, 9, 8}},
    // 2 "LUE"
    {12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 16, {{1, 0.0f, 0.0f}, {2, 0.25f, 0.0f}, {4, 0.75f, 0.0f}, {5, 0.99999f, 0.0f}, {8, 0.0f, 0.25f}, {12, 0.99999f, 0.25f}, {15, 0.0f, 0.5f}, {16, 0.25f, 0.5f}, {17, 0.75f, 0.5f}, {18, 0.99999f, 0.5f}, {21, 0.0f, 0.75f}, {22, 0.99999f, 0.75f}, {25, 0.0f, 0.99999f}, {26, 0.25f, 0.99999f}, {27, 0.75f, 0.99999f}, {28, 0.99999f, 0.99999f}}, 48, {0, 1, 4, 4, 1, 6, 6, 1, 7, 7, 1, 2, 7, 2, 8, 8, 2, 3, 8, 3, 5, 8, 5, 9, 6, 7, 10, 10, 7, 12, 12, 7, 13, 13, 7, 8, 13, 8, 14, 14, 8, 9, 14, 9, 11, 14, 11, 15}},
    // 3 "RDE"
    {12, {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 16, {{15, 0.0f, 0.0f}, {16, 0.25f, 0.0f}, {17, 0.75f, 0.0f}, {18, 0.99999f, 0.0f}, {21, 0.0f, 0.25f}, {22, 0.99999f, 0.25f}, {25, 0.0f, 0.5f}, {26, 0.25f, 0.5f}, {27, 0.75f, 0.5f}, {28, 0.99999f, 0.5f}, {31, 0.0f, 0.75f}, {35, 0.99999f, 0.75f}, {38, 0.0f, 0.99999f}, {39, 0.25f, 0.99999f}, {41, 0.75f, 0.99999f}, {42, 0.99999f, 0.99999f}}, 48, {0, 1, 4, 4, 1, 6, 6, 1, 7, 7, 1, 2, 7, 2, 8, 8, 2, 3, 8, 3, 5, 8, 5, 9, 6, 7, 10, 10, 7, 12, 12, 7, 13, 13, 7, 8, 13, 8, 14, 14, 8, 9, 14, 9, 11, 14, 11, 15}},
    // 4 "RUE"
    {12, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15}, 16, {{32, 0.0f, 0.99999f}, {26, 0.0f, 0.75f}, {16, 0.0f, 0.25f}, {9, 0.0f, 0.0f}, {33, 0.25f, 0.99999f}, {10, 0.25f, 0.0f}, {34, 0.5f, 0.99999f}, {27, 0.5f, 0.75f}, {17, 0.5f, 0.25f}, {11, 0.5f, 0.0f}, {35, 0.75f, 0.99999f}, {12, 0.75f, 0.0f}, {36, 0.99999f, 0.99999f}, {29, 0.99999f, 0.75f}, {19, 0.99999f, 0.25f}, {13, 0.99999f, 0.0f}}, 48, {0, 1, 4, 4, 1, 7, 4, 7, 6, 6, 7, 10, 10, 7, 13, 10, 13, 12, 1, 2, 8, 1, 8, 7, 7, 8, 14, 7, 14, 13, 2, 3, 5, 2, 5, 9, 2, 9, 8, 8, 9, 11, 8, 11, 15, 8, 15, 14}},
    // 5 "LDE"
    {12, {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14}, 16, {{30, 0.0f, 0.99999f}, {24, 0.0f, 0.75f}, {14, 0.0f, 0.25f}, {7, 0.0f, 0.0f}, {31, 0.25f, 0.99999f}, {8, 0.25f, 0.0f}, {32, 0.5f, 0.99999f}, {26, 0.5f, 0.75f}, {16, 0.5f, 0.25f}, {9, 0.5f, 0.0f}, {33, 0.75f, 0.99999f}, {10, 0.75f, 0.0f}, {34, 0.99999f, 0.99999f}, {27, 0.99999f, 0.75f}, {17, 0.99999f, 0.25f}, {11, 0.99999f, 0.0f}}, 48, {0, 1, 4, 4, 1, 7, 4, 7, 6, 6, 7, 10, 10, 7, 13, 10, 13, 12, 1, 2, 8, 1, 8, 7, 7, 8, 14, 7, 14, 13, 2, 3, 5, 2, 5, 9, 2, 9, 8, 8, 9, 11, 8, 11, 15, 8, 15, 14}},
    // 6 "LC"
    {9, {0, 1, 2, 4, 5, 6, 8, 9, 10}, 9, {{0, 0.0f, 0.0f}, {2, 0.5f, 0.0f}, {4, 0.99999f, 0.0f}, {14, 0.0f, 0.5f}, {16, 0.5f, 0.5f}, {17, 0.99999f, 0.5f}, {24, 0.0f, 0.99999f}, {26, 0.5f, 0.99999f}, {27, 0.99999f, 0.99999f}}, 24, {0, 1, 3, 3, 1, 4, 4, 1, 2, 4, 2, 5, 3, 4, 6, 6, 4, 7, 7, 4, 5, 7, 5, 8}},
    // 7 "RC"
    {9, {5, 6, 7, 9, 10, 11, 13, 14, 15}, 9, {{16, 0.0f, 0.0f}, {17, 0.5f, 0.0f}, {19, 0.99999f, 0.0f}, {26, 0.0f, 0.5f}, {27, 0.5f, 0.5f}, {29, 0.99999f, 0.5f}, {39, 0.0f, 0.99999f}, {41, 0.5f, 0.99999f}, {43, 0.99999f, 0.99999f}}, 24, {0, 1, 3, 3, 1, 4, 4, 1, 2, 4, 2, 5, 3, 4, 6, 6, 4, 7, 7, 4, 5, 7, 5, 8}},
    // 8 "UC"
    {9, {1, 2, 3, 5, 6, 7, 9, 10, 11}, 9, {{2, 0.0f, 0.0f}, {4, 0.5f, 0.0f}, {6, 0.99999f, 0.0f}, {16, 0.0f, 0.5f}, {17, 0.5f, 0.5f}, {19, 0.99999f, 0.5f}, {26, 0.0f, 0.99999f}, {27, 0.5f, 0.99999f}, {29, 0.99999f, 0.99999f}}, 24, {0, 1, 3, 3, 1, 4, 4, 1, 2, 4, 2, 5, 3, 4, 6, 6, 4, 7, 7, 4, 5, 7, 5, 8}},
    // 9 "DC"
    {9, {4, 5, 6, 8, 9, 10, 12, 13, 14}, 9, {{14, 0.0f, 0.0f}, {16, 0.5f, 0.0f}, {17, 0.99999f, 0.0f}, {24, 0.0f, 0.5f}, {26, 0.5f, 0.5f}, {27, 0.99999f, 0.5f}, {37, 0.0f, 0.99999f}, {39, 0.5f, 0.99999f}, {41, 0.99999f, 0.99999f}}, 24, {0, 1, 3, 3, 1, 4, 4, 1, 2, 4, 2, 5, 3, 4, 6, 6, 4, 7, 7, 4, 5, 7, 5, 8}},
    // 10 "LUCross"
    {6, {5, 6, 9, 10, 13, 14}, 6, {{16, 0.0f, 0.0f}, {17, 0.99999f, 0.0f}, {26, 0.0f, 0.5f}, {27, 0.99999f, 0.5f}, {39, 0.0f, 0.99999f}, {41, 0.99999f, 0.99999f}}, 12, {0, 1, 2, 2, 1, 3, 2, 3, 4, 4, 3, 5}},
    // 11 "RDCross"
    {6, {1, 2, 5, 6, 9, 10}, 6, {{2, 0.0f, 0.0f}, {4, 0.99999f, 0.0f}, {16, 0.0f, 0.5f}, {17, 0.99999f, 0.5f}, {26, 0.0f, 0.99999f}, {27, 0.99999f, 0.99999f}}, 12, {0, 1, 2, 2, 1, 3, 2, 3, 4, 4, 3, 5}},
    // 12 "RUCross"
    {6, {4, 5, 6, 8, 9, 10}, 6, {{24, 0.0f, 0.99999f}, {14, 0.0f, 0.0f}, {26, 0.5f, 0.99999f}, {16, 0.5f, 0.0f}, {27, 0.99999f, 0.99999f}, {17, 0.99999f, 0.0f}}, 12, {0, 1, 3, 0, 3, 2, 2, 3, 5, 2, 5, 4}},
    // 13 "LDCross"
    {6, {5, 6, 7, 9, 10, 11}, 6, {{26, 0.0f, 0.99999f}, {16, 0.0f, 0.0f}, {27, 0.5f, 0.99999f}, {17, 0.5f, 0.0f}, {29, 0.99999f, 0.99999f}, {19, 0.99999f, 0.0f}}, 12, {0, 1, 3, 0, 3, 2, 2, 3, 5, 2, 5, 4}},
    // 14 "Cross"
    {4, {5, 6, 9, 10}, 4, {{16, 0.0f, 0.0f}, {17, 0.99999f, 0.0f}, {26, 0.0f, 0.99999f}, {27, 0.99999f, 0.99999f}}, 6, {0, 1, 2, 2, 1, 3}},
    // 15 "Dot"
    {0, {}, 0, {}, 0, {}},
};

constexpr std::uint8_t kStraightCosts[9] = {30, 9, 9, 9, 9, 255, 255, 255, 255};

// The four cells the heights of a piece on (x, y) come from.
void PieceCells(std::uint16_t x, std::uint16_t y, plat::Point (&cells)[4])
{
    const plat::Point c0{x, y};
    const plat::Point c1 = GetNeighbourPoint(c0, 1);
    cells[0] = c0;
    cells[1] = c1;
    cells[2] = {c1.x, c1.y + 2};
    cells[3] = {c0.x + 1, c0.y};
}

// The cell's screen point: its left corner minus the view's pixel origin.
void PieceScreenPoint(std::uint16_t x, std::uint16_t y, float& px, float& py)
{
    px = static_cast<float>((2 * x - ((y & 1) == 0 ? 1 : 0)) * 48 - g_ViewPixelX);
    py = static_cast<float>(y * 24 - g_ViewPixelY);
}

float PieceDepth(float flatY, float h)
{
    return ClampedDepth(flatY + h + static_cast<float>(g_ViewDepthBase) + 1024.0f);
}

// The compact code of a line direction: 4 -> 0, 2 -> 1, 1 -> 2, 3 -> 3; 255 for the others.
std::uint8_t CompactCode(std::uint8_t dir)
{
    switch (dir) {
    case 4:
        return 0;
    case 2:
        return 1;
    case 1:
        return 2;
    case 3:
        return 3;
    default:
        return 255;
    }
}

// End kinds by compact code (the first piece of a line) and corner kinds by (c, c').
constexpr std::uint8_t kFirstEndKind[4] = {3, 2, 5, 4};
constexpr std::uint8_t kCornerKind[4][4] = {
    {kTrenchPieceNone, kTrenchPieceNone, 6, 8},
    {kTrenchPieceNone, kTrenchPieceNone, 9, 7},
    {7, 8, kTrenchPieceNone, kTrenchPieceNone},
    {9, 6, kTrenchPieceNone, kTrenchPieceNone},
};

} // namespace

TTrenchPieces::TTrenchPieces()
{
    pieces.reserve(1000);
    queue.reserve(100);
}

TTrenchPieceServices DefaultTrenchPieceServices()
{
    TTrenchPieceServices s;
    s.SetTexture = [](plat::Texture* t) { return g_pD3DDevice && g_pD3DDevice->SetTexture(0, t); };
    s.SetRenderState = [](D3DState state, std::uint32_t value) {
        return g_pD3DDevice && g_pD3DDevice->SetRenderState(state, value);
    };
    s.DrawIndexedTriangles = [](const TScreenVertex* v, std::uint32_t n, const std::uint16_t* idx, std::uint32_t ni) {
        return g_pD3DDevice
            && g_pD3DDevice->DrawIndexedPrimitive(plat::PrimitiveType::TriangleList, v, n, idx, ni, kDrawWait);
    };
    s.DrawStrip = [](const TScreenVertex* v, std::uint32_t n) {
        return g_pD3DDevice && g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, v, n, kDrawWait);
    };
    s.FindPath = [](const plat::Point& a, const plat::Point& b, const std::uint8_t cost[9], std::vector<std::uint8_t>& path) {
        return FindPathFromPointToPointEx(g_pLandPassMap, a.x, a.y, b.x, b.y, cost, path) == 1;
    };
    return s;
}

TTrenchPieceServices& TrenchPieceServices()
{
    static TTrenchPieceServices services = DefaultTrenchPieceServices();
    return services;
}

bool TrenchesInit()
{
    if (g_pTrenchPieces)
        return false;
    for (int i = 0; i < kTrenchMeshMaxVertices; i += 4)
        for (int k = 0; k < 4; ++k)
            g_TrenchQuads[i + k] = g_SpriteQuadTemplate[k];
    g_pTrenchPieces = new TTrenchPieces();
    for (int k = 0; k < kTrenchPieceKinds; ++k) {
        const std::string base = std::string(kTrenchPieceFolder) + g_TrenchPieceNames[k];
        g_TrenchPieceTextures[k] = Load444Texture((base + ".444").c_str());
        g_TrenchDepthTextures[k] = Load444Texture((base + "_z.444").c_str());
    }
    return true;
}

void TrenchesFree()
{
    delete g_pTrenchPieces;
    g_pTrenchPieces = nullptr;
    for (int k = 0; k < kTrenchPieceKinds; ++k) {
        for (plat::Texture** t : {&g_TrenchPieceTextures[k], &g_TrenchDepthTextures[k]}) {
            if (*t)
                (*t)->Release();
            *t = nullptr;
        }
    }
    g_bTrenchDragging = 0;
}

bool AddTrenchPiece(TTrenchPieces* pieces, std::uint16_t x, std::uint16_t y, std::uint8_t kind)
{
    if (!pieces || pieces->pieces.size() >= kTrenchPieceMaxCount)
        return false;
    const auto code = static_cast<std::uint16_t>(kObjectTrenchPieceFirst + pieces->pieces.size());
    // The accessor reports a cell outside the map; the cell record is then not touched either.
    SetObjectMap(x, y, code);
    if (x >= g_MapWidth || y >= g_MapHeight)
        return false;
    pieces->pieces.push_back(std::make_unique<TTrenchPiece>(TTrenchPiece{kind, x, y}));
    if (g_pCellInfo)
        g_pCellInfo[CellIndex(x, y)].base = 65535;
    return true;
}

void BuildTrenchPieces(TTrenchPieces* pieces, std::uint16_t index)
{
    if (pieces && index < pieces->pieces.size())
        pieces->queue.push_back(pieces->pieces[index].get());
}

std::uint32_t BuildTrenchPieceMesh(std::uint16_t x, std::uint16_t y, std::uint8_t kind,
                                   const std::uint16_t** indices, std::uint32_t* indexCount)
{
    if (kind >= kTrenchPieceKinds)
        return 0;
    const TKindMesh& mesh = kMeshes[kind];
    float px = 0, py = 0;
    PieceScreenPoint(x, y, px, py);
    plat::Point cells[4];
    PieceCells(x, y, cells);
    float heights[kTrenchLatticePoints] = {};
    for (int i = 0; i < mesh.sampleCount; ++i) {
        const THeightSample& s = kSamples[mesh.samples[i]];
        const plat::Point c{cells[s.cell].x + s.dx, cells[s.cell].y + s.dy};
        heights[s.point] = static_cast<float>(GetHeightFromMap(c));
    }
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const TMeshVertex& mv = mesh.vertices[i];
        const TLatticePoint& lp = kLattice[mv.point];
        const float h = lp.a == lp.b ? heights[lp.a] : (heights[lp.a] + heights[lp.b]) * 0.5f;
        TScreenVertex& v = g_TrenchQuads[i];
        const float flatY = py + static_cast<float>(lp.dy);
        v.x = px + static_cast<float>(lp.dx);
        v.y = flatY - h;
        v.z = PieceDepth(flatY, h);
        v.u = mv.u;
        v.v = mv.v;
    }
    if (indices)
        *indices = mesh.indices;
    if (indexCount)
        *indexCount = mesh.indexCount;
    return mesh.vertexCount;
}

bool DrawTrenchPiece(std::uint16_t x, std::uint16_t y, std::uint8_t kind)
{
    const std::uint16_t* indices = nullptr;
    std::uint32_t indexCount = 0;
    const std::uint32_t n = BuildTrenchPieceMesh(x, y, kind, &indices, &indexCount);
    // The dot has no mesh; its depth picture is all it shows.
    if (n == 0)
        return true;
    return TrenchPieceServices().DrawIndexedTriangles(g_TrenchQuads, n, indices, indexCount);
}

bool DrawTrenchPieceDepth(std::uint16_t x, std::uint16_t y)
{
    float px = 0, py = 0;
    PieceScreenPoint(x, y, px, py);
    plat::Point cells[4];
    PieceCells(x, y, cells);
    static constexpr float kCornerDx[4] = {0, 48, 48, 96};
    static constexpr float kCornerDy[4] = {0, -24, 24, 0};
    TScreenQuad q = g_SpriteQuadTemplate;
    for (int i = 0; i < 4; ++i) {
        const plat::Point c = cells[i];
        // Cells left of the map wrap past 65535 and so count as outside.
        const float h = static_cast<float>(
            GetHeightFromMap(static_cast<std::uint16_t>(c.x), static_cast<std::uint16_t>(c.y)));
        const float flatY = py + kCornerDy[i];
        q[i].x = px + kCornerDx[i];
        q[i].y = flatY - h;
        q[i].z = PieceDepth(flatY, h);
    }
    return TrenchPieceServices().DrawStrip(q.data(), 4);
}

void DrawTrenches(TTrenchPieces* pieces)
{
    if (!pieces || pieces->queue.empty())
        return;
    TTrenchPieceServices& s = TrenchPieceServices();
    s.SetRenderState(D3DState::ZEnable, 1);
    s.SetRenderState(D3DState::ZWriteEnable, 1);
    for (const TTrenchPiece* p : pieces->queue) {
        s.SetTexture(p->kind < kTrenchPieceKinds ? g_TrenchDepthTextures[p->kind] : nullptr);
        DrawTrenchPieceDepth(p->x, p->y);
    }
    s.SetRenderState(D3DState::ZWriteEnable, 0);
    for (const TTrenchPiece* p : pieces->queue) {
        s.SetTexture(p->kind < kTrenchPieceKinds ? g_TrenchPieceTextures[p->kind] : nullptr);
        DrawTrenchPiece(p->x, p->y, p->kind);
    }
    pieces->queue.clear();
}

std::uint8_t TrenchPieceKindAt(const plat::Point& cell)
{
    const std::uint16_t code = GetObjectFromMap(cell);
    if (!g_pTrenchPieces || code < kObjectTrenchPieceFirst || code > kObjectTrenchPieceLast)
        return kTrenchPieceNone;
    const std::size_t index = code - kObjectTrenchPieceFirst;
    return index < g_pTrenchPieces->pieces.size() ? g_pTrenchPieces->pieces[index]->kind : kTrenchPieceNone;
}

std::vector<std::uint8_t> TrenchLineKinds(const plat::Point& start, const std::vector<std::uint8_t>& directions)
{
    const std::size_t n = directions.size();
    std::vector<std::uint8_t> kinds;
    plat::Point cell = start;
    for (std::size_t k = 0; k < n; ++k) {
        cell = GetNeighbourPoint(cell, directions[k]);
        const std::uint8_t e = TrenchPieceKindAt(cell);
        const std::uint8_t c = CompactCode(directions[k]);
        const std::uint8_t next = k + 1 < n ? CompactCode(directions[k + 1]) : 255;
        if (n == 1) {
            if (e != kTrenchPieceNone)
                return {};
            kinds.push_back(kTrenchPieceDot);
            break;
        }
        std::uint8_t kind = kTrenchPieceNone;
        if (c > 3) {
            kind = kTrenchPieceNone;
        } else if (k == 0) {
            const std::uint8_t code = n == 2 ? next : c;
            kind = code <= 3 ? kFirstEndKind[code] : kTrenchPieceNone;
        } else if (k + 1 == n) {
            kind = static_cast<std::uint8_t>(c + 2);
        } else if (next <= 3) {
            kind = c == next ? (c <= 1 ? 0 : 1) : kCornerKind[c][next];
        }
        if (kind != kTrenchPieceNone && e < kTrenchPieceDot)
            kind = g_TrenchMergeTable[e][kind];
        kinds.push_back(kind);
    }
    return kinds;
}

void PlaceTrench()
{
    std::uint8_t held = 0, released = 0;
    plat::Point cursor;
    {
        std::lock_guard lock(g_InputLock);
        held = g_bLButtonHeld;
        released = g_bLButtonUp;
        cursor = {g_CursorCellX, g_CursorCellY};
    }
    if (!held && !g_bTrenchDragging)
        return;
    if (!g_bTrenchDragging) {
        g_TrenchDragStartX = static_cast<std::uint32_t>(cursor.x);
        g_TrenchDragStartY = static_cast<std::uint32_t>(cursor.y);
        g_bTrenchDragging = 1;
    }
    const plat::Point start{static_cast<std::int32_t>(g_TrenchDragStartX), static_cast<std::int32_t>(g_TrenchDragStartY)};
    TTrenchPieceServices& s = TrenchPieceServices();
    std::vector<std::uint8_t> directions;
    std::vector<std::uint8_t> kinds;
    if (s.FindPath(start, cursor, kStraightCosts, directions) && !directions.empty()) {
        kinds = TrenchLineKinds(start, directions);
        s.SetRenderState(D3DState::ZEnable, 1);
        s.SetRenderState(D3DState::AlphaBlendEnable, 1);
        plat::Point cell = start;
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            cell = GetNeighbourPoint(cell, directions[k]);
            if (kinds[k] < kTrenchPieceKinds && g_TrenchPieceTextures[kinds[k]]) {
                s.SetTexture(g_TrenchPieceTextures[kinds[k]]);
                DrawTrenchPiece(static_cast<std::uint16_t>(cell.x), static_cast<std::uint16_t>(cell.y), kinds[k]);
            }
        }
    }
    if (!released)
        return;
    if (!kinds.empty()) {
        plat::Point cell = start;
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            cell = GetNeighbourPoint(cell, directions[k]);
            if (kinds[k] < kTrenchPieceKinds)
                AddTrenchPiece(g_pTrenchPieces, static_cast<std::uint16_t>(cell.x), static_cast<std::uint16_t>(cell.y),
                               kinds[k]);
        }
        g_bMapViewDirty = 1;
    }
    g_bTrenchDragging = 0;
}
