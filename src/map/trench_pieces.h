#pragma once
// Trench pieces: the second trench system, drawn as lines of pieces, one per map cell. A piece is a
// small textured mesh following the terrain around its cell plus a depth picture; sixteen kinds
// (straights, ends, corners, crossings, a dot) are chosen by the line's directions through the cell
// and merge with a piece already there. Pieces stand in the object map as 11000 + their index.
// The system exists with the `trench` option in a game and always in the editor.
//
// Threads: main thread only (the frame: the editor's trench tool, the landscape walk, the static
// layer).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "devices/d3d_device.h"
#include "devices/quads.h"
#include "platform/types.h"

namespace plat {
class Texture;
}

constexpr int kTrenchPieceKinds = 16;
constexpr std::uint8_t kTrenchPieceDot = 15;
constexpr std::uint8_t kTrenchPieceNone = 255;
constexpr int kTrenchLatticePoints = 44;
constexpr int kTrenchHeightSamples = 16;
constexpr int kTrenchMeshMaxVertices = 16;
constexpr int kTrenchMeshMaxIndices = 48;
// Codes 11000..24999.
constexpr std::uint32_t kTrenchPieceMaxCount = 14000;
constexpr const char* kTrenchPieceFolder = "Data\\Misc\\Trenches\\";
// Kind names in kind order; the pictures are folder + name + ".444" and folder + name + "_z.444".
extern const char* const g_TrenchPieceNames[kTrenchPieceKinds];
// The kind that results when a new piece of kind K (0..9) is laid on a piece of kind e (0..14).
extern const std::uint8_t g_TrenchMergeTable[15][10];

struct TTrenchPiece {
    std::uint8_t kind = 0;
    std::uint16_t x = 0;
    std::uint16_t y = 0;
};

struct TTrenchPieces {
    TTrenchPieces();
    std::vector<std::unique_ptr<TTrenchPiece>> pieces; // index = object code - 11000
    std::vector<TTrenchPiece*> queue;                  // the pieces to draw this frame
};

// Null while the system is off.
extern TTrenchPieces* g_pTrenchPieces;
extern plat::Texture* g_TrenchPieceTextures[kTrenchPieceKinds];
extern plat::Texture* g_TrenchDepthTextures[kTrenchPieceKinds];
// The vertex buffer of every piece mesh; only x, y, z, u, v are written per draw.
extern TScreenVertex g_TrenchQuads[kTrenchMeshMaxVertices];
// The line tool's drag: the cell of the press.
extern std::uint8_t g_bTrenchDragging;
// Set from the command line ("+trench"): the trench-piece system is on.
extern std::uint8_t g_bTrench;
extern std::uint32_t g_TrenchDragStartX;
extern std::uint32_t g_TrenchDragStartY;

// The device calls of the pieces and the path search of the line tool; tests put recording
// stand-ins here.
struct TTrenchPieceServices {
    std::function<bool(plat::Texture* texture)> SetTexture;
    std::function<bool(D3DState state, std::uint32_t value)> SetRenderState;
    std::function<bool(const TScreenVertex* vertices, std::uint32_t vertexCount, const std::uint16_t* indices,
                       std::uint32_t indexCount)>
        DrawIndexedTriangles;
    std::function<bool(const TScreenVertex* vertices, std::uint32_t count)> DrawStrip;
    // Directions 1..8 from start to goal over the land pass map with the given step costs; false
    // when there is no path.
    std::function<bool(const plat::Point& start, const plat::Point& goal, const std::uint8_t cost[9],
                       std::vector<std::uint8_t>& path)>
        FindPath;
};
TTrenchPieceServices& TrenchPieceServices();
TTrenchPieceServices DefaultTrenchPieceServices();

// False when the system exists already.
bool TrenchesInit();
void TrenchesFree();
// Lays a piece on the cell (code 11000 + index, no landscape tile under it). False, with nothing
// laid, for a cell outside the map or when the codes are used up.
bool AddTrenchPiece(TTrenchPieces* pieces, std::uint16_t x, std::uint16_t y, std::uint8_t kind);
// Queues piece index for this frame's DrawTrenches.
void BuildTrenchPieces(TTrenchPieces* pieces, std::uint16_t index);
// The depth pass, then the picture pass, of the queued pieces; empties the queue.
void DrawTrenches(TTrenchPieces* pieces);
// The mouse line tool for one frame.
void PlaceTrench();
bool DrawTrenchPiece(std::uint16_t x, std::uint16_t y, std::uint8_t kind);
bool DrawTrenchPieceDepth(std::uint16_t x, std::uint16_t y);

// The kind of the piece on a cell, or kTrenchPieceNone.
std::uint8_t TrenchPieceKindAt(const plat::Point& cell);
// The kinds a line of direction steps lays on the cells after its start, merged with the pieces
// already there; kTrenchPieceNone where nothing is laid. Empty when the line is dropped.
std::vector<std::uint8_t> TrenchLineKinds(const plat::Point& start, const std::vector<std::uint8_t>& directions);
// The mesh of a kind on a cell into g_TrenchQuads; returns the vertex count and the kind's
// triangle list.
std::uint32_t BuildTrenchPieceMesh(std::uint16_t x, std::uint16_t y, std::uint8_t kind,
                                   const std::uint16_t** indices, std::uint32_t* indexCount);
