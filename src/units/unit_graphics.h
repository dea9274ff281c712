#pragma once
// The graphics of a unit type: a reference-counted block of the frames of its 30 works, loaded by
// the loader thread on the first reference and freed on the last. Types whose graphic name refers
// to another type share that type's block.
//
// Hand-over between the threads: the main thread sets a work's loading flag before it queues the
// request; the loader thread fills the entry, stores the loaded flags and clears the loading flag
// with release order; the main thread reads them with acquire order and touches the entry's arrays
// only where a loaded flag is 1, and frees an entry only after its loading flag is clear.
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "units/unit_types.h"

namespace plat {
class Texture;
}

constexpr int UNIT_STORED_ORIENTS = 5; // 5..7 are drawn mirrored
constexpr int UNIT_LAYERS = 3;         // 0: picture, 1: layer 2 (shadow), 2: layer 3
constexpr std::uint32_t UNIT_NO_ARCHIVE = 5000;
// A work's frames go into one shared texture when their widths add up to less than this.
constexpr std::uint32_t UNIT_ATLAS_WIDTH_LIMIT = 513;
// Layer bits of an archive entry.
constexpr std::uint8_t UNIT_LAYER2_BIT = 1;
constexpr std::uint8_t UNIT_LAYER3_BIT = 2;
constexpr int UNIT_FRAME_HEADER_SIZE = 20;
// The aircraft's flying work, of which only one facing is kept outside an atlas.
constexpr std::uint32_t UNIT_WORK_FLY = 14;
constexpr int UNIT_FLY_ORIENT = 3;
constexpr std::uint8_t UNIT_LOAD_PRIORITY = 10;

// One frame as drawing reads it (24 bytes).
struct TUnitFrame {
    std::uint16_t x = 0; // within the type's sprite box
    std::uint16_t y = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    float left = 0.0f; // texture coordinates inside an atlas
    float right = 0.0f;
    float bottom = 0.0f;
};
static_assert(sizeof(TUnitFrame) == 24);

// One frame header of an archive entry.
struct TUnitFrameHeader {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint32_t reserved = 0;
    std::uint32_t pixelOffset = 0; // from the entry start; width*height ARGB 4444 pixels
};

// An archive entry of one work, checked: every header's pixels lie inside the entry.
struct TUnitWorkArchive {
    std::uint8_t frameCount = 0;
    std::uint8_t layerBits = 0;
    // [layer][orient * frameCount + frame]; empty for absent layers.
    std::vector<TUnitFrameHeader> headers[UNIT_LAYERS];
};

// Parses and checks an entry; logs and returns false for a bad one.
bool ParseUnitWorkEntry(std::span<const std::uint8_t> entry, TUnitWorkArchive& out);
// The pixel rows of a frame (width*height ARGB 4444 values, little-endian).
const std::uint8_t* UnitFramePixels(std::span<const std::uint8_t> entry, const TUnitFrameHeader& header);

// The frames of one work.
struct TUnitWork {
    std::int16_t frameCount = 0; // the same for every stored orientation
    // Per layer and orientation: frameCount textures (an atlas: one texture in slot 0) and frame
    // records. Owned; valid where the loaded flag is 1.
    plat::Texture** textures[UNIT_LAYERS][UNIT_STORED_ORIENTS] = {};
    TUnitFrame* frames[UNIT_LAYERS][UNIT_STORED_ORIENTS] = {};
    std::atomic<std::uint8_t> loaded[UNIT_LAYERS][UNIT_STORED_ORIENTS] = {};
    std::atomic<std::uint8_t> loading{0};
    std::uint8_t atlas[UNIT_STORED_ORIENTS] = {};       // layer 1
    std::uint8_t atlasLayer3[UNIT_STORED_ORIENTS] = {}; // layer 3
    std::uint32_t textureBytes = 0;

    bool IsLoaded(int layer, int orient) const
    {
        return loaded[layer][orient].load(std::memory_order_acquire) != 0;
    }
    bool IsAtlas(int layer, int orient) const
    {
        return layer == 0 ? atlas[orient] != 0 : layer == 2 ? atlasLayer3[orient] != 0 : false;
    }
    // The texture of a frame of a loaded layer and orientation.
    plat::Texture* FrameTexture(int layer, int orient, int frame) const;
};

class CUnitGraphic {
public:
    CUnitGraphic() = default;
    ~CUnitGraphic();
    CUnitGraphic(const CUnitGraphic&) = delete;
    CUnitGraphic& operator=(const CUnitGraphic&) = delete;

    // One more reference; the first one queues the works of the type. Returns the count.
    std::uint32_t AddGraphicRef(TBasicUnit* type);
    // One more reference without loading anything.
    std::uint32_t AddRefOnly() { return ++m_RefCount; }
    // One reference less; the last frees every work. Returns the count left.
    std::uint32_t ReleaseGraphicRef();
    bool HasArchive() const { return m_ArchiveSlot < UNIT_NO_ARCHIVE; }
    // Queues the loading of one work unless it is loading already.
    void RequestWork(TBasicUnit* type, std::uint32_t work);
    // Waits for the loader to finish the work, then frees its frames.
    void FreeWork(std::uint32_t work);
    void FreeAll();
    // Drawing's frame count of a work: the reduced-animation setting taken at the first reference
    // shows work 4 without frames and work 3 with one, while the type's sizes stay as they are.
    std::uint8_t DrawFrameCount(const TBasicUnit& type, std::uint32_t work) const;

    std::uint32_t m_RefCount = 0; // main thread only
    std::uint32_t m_ArchiveSlot = UNIT_NO_ARCHIVE; // set before any request, like m_bReduced
    TUnitWork m_Works[UNIT_COUNT_WORK];
    // Set by the main thread before the block's first request is queued; read by the loader after.
    std::uint8_t m_bReduced = 0;
};

// What the graphics reach outside the module: tests put fakes here.
struct TUnitGraphicServices {
    // Queues {kind 0, type, work} for the loader thread.
    std::function<void(TBasicUnit*, std::uint32_t)> request;
    // A 16-bit ARGB 4444 texture, null when it cannot be made.
    std::function<plat::Texture*(std::uint16_t, std::uint16_t)> createTexture;
    // Blocks until the loader thread runs nothing and holds nothing queued.
    std::function<void()> waitLoaderIdle;
    // Reads an archive entry by id; the caller frees it with FreeLesEntry.
    std::function<std::uint8_t*(std::uint32_t slot, std::uint16_t id, std::uint32_t* size)> readEntry;

    static TUnitGraphicServices Default();
};
// Installed services; the main thread sets them before any loading starts.
void SetUnitGraphicServices(TUnitGraphicServices services);

// Bytes of texture memory the unit graphics use; written by the loader thread only.
extern std::atomic<std::uint32_t> g_UnitTextureBytes;
