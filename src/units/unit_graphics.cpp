#include "units/unit_graphics.h"

#include <cstring>
#include <utility>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/loader_thread.h"
#include "core/settings.h"
#include "devices/d3d_device.h"
#include "platform/bytes.h"
#include "platform/texture.h"

std::atomic<std::uint32_t> g_UnitTextureBytes{0};

namespace {

TUnitGraphicServices g_Services = TUnitGraphicServices::Default();

constexpr std::uint32_t kEntryHead = 2;
// After the layer 1 headers: the offsets of the layer 3 and layer 2 header blocks.
constexpr std::uint32_t kLayerOffsetsSize = 8;

bool IsAirType(const TBasicUnit& type)
{
    return type.m_bAir != 0;
}

// The work from which work 3 (the stand pose) is derived, -1 when it is not derived.
int StandPoseSource(const TBasicUnit& type, bool reduced)
{
    if (type.m_Kind == 4)
        return reduced ? -1 : 4;
    return IsAirType(type) ? -1 : 5;
}

std::uint32_t PowerOfTwoAbove(std::uint32_t v)
{
    std::uint32_t p = 2;
    while (p < v)
        p *= 2;
    return p;
}

bool ReadHeaders(std::span<const std::uint8_t> entry, std::uint32_t offset, std::uint32_t count,
                 std::vector<TUnitFrameHeader>& out)
{
    if (count == 0) {
        out.clear();
        return true;
    }
    const std::uint64_t end = offset + static_cast<std::uint64_t>(count) * UNIT_FRAME_HEADER_SIZE;
    if (offset < kEntryHead || end > entry.size())
        return false;
    out.resize(count);
    const std::uint8_t* p = entry.data() + offset;
    for (std::uint32_t i = 0; i < count; ++i, p += UNIT_FRAME_HEADER_SIZE) {
        TUnitFrameHeader& h = out[i];
        h.x = plat::ReadU16LE(p);
        h.y = plat::ReadU16LE(p + 2);
        h.width = plat::ReadU16LE(p + 4);
        h.height = plat::ReadU16LE(p + 6);
        h.texWidth = plat::ReadU16LE(p + 8);
        h.texHeight = plat::ReadU16LE(p + 10);
        h.reserved = plat::ReadU32LE(p + 12);
        h.pixelOffset = plat::ReadU32LE(p + 16);
        const std::uint64_t pixelsEnd =
            h.pixelOffset + static_cast<std::uint64_t>(h.width) * h.height * 2;
        // A texture is at most the frame rounded up to a power of two, so an entry cannot ask
        // for far more memory than it brings pixels for.
        if (h.width == 0 || h.height == 0 || h.width > h.texWidth || h.height > h.texHeight ||
            h.texWidth > PowerOfTwoAbove(h.width) || h.texHeight > PowerOfTwoAbove(h.height) ||
            pixelsEnd > entry.size())
            return false;
    }
    return true;
}

void FillRows(const plat::TextureLock& lock, int x0, const std::uint8_t* pixels, int width, int height)
{
    for (int y = 0; y < height && y < lock.height; ++y)
        std::memcpy(lock.bits + static_cast<std::size_t>(y) * lock.pitch + static_cast<std::size_t>(x0) * 2,
                    pixels + static_cast<std::size_t>(y) * width * 2, static_cast<std::size_t>(width) * 2);
}

// Builds one layer of one orientation; returns the texture bytes it made.
std::uint32_t BuildOrient(TUnitWork& work, int layer, int orient, std::span<const std::uint8_t> entry,
                          const TUnitFrameHeader* headers, int count, bool mayAtlas)
{
    std::uint32_t sum = 0;
    std::uint16_t tallest = 0;
    for (int f = 0; f < count; ++f) {
        sum += headers[f].width;
        tallest = std::max(tallest, headers[f].height);
    }
    auto* frames = new TUnitFrame[count];
    std::uint32_t bytes = 0;
    const bool atlas = mayAtlas && sum < UNIT_ATLAS_WIDTH_LIMIT;
    plat::Texture** textures = nullptr;
    if (atlas) {
        textures = new plat::Texture*[1]{};
        auto aw = static_cast<std::uint16_t>(sum);
        std::uint16_t ah = tallest;
        RoundUpToPowerOfTwo(aw, ah);
        const float du = 0.99999f / aw;
        const float dv = 0.99999f / ah;
        plat::Texture* texture = g_Services.createTexture(aw, ah);
        plat::TextureLock lock;
        const bool locked = texture != nullptr && texture->Lock(lock);
        if (texture != nullptr && !locked)
            ReportError("MakeUnitPhase() FAILED");
        if (texture != nullptr)
            bytes += static_cast<std::uint32_t>(aw) * ah * 2;
        std::uint32_t left = 0;
        for (int f = 0; f < count; ++f) {
            const TUnitFrameHeader& h = headers[f];
            frames[f] = TUnitFrame{h.x, h.y, aw, ah, h.width, h.height, left * du, (left + h.width) * du, h.height * dv};
            if (locked)
                FillRows(lock, static_cast<int>(left), UnitFramePixels(entry, h), h.width, h.height);
            left += h.width;
        }
        if (locked)
            texture->Unlock();
        textures[0] = texture;
    } else {
        textures = new plat::Texture*[count]{};
        for (int f = 0; f < count; ++f) {
            const TUnitFrameHeader& h = headers[f];
            frames[f] = TUnitFrame{h.x, h.y, h.texWidth, h.texHeight, h.width, h.height, 0.0f, 0.0f, 0.0f};
            plat::Texture* texture = g_Services.createTexture(h.texWidth, h.texHeight);
            if (texture == nullptr)
                continue;
            bytes += static_cast<std::uint32_t>(h.texWidth) * h.texHeight * 2;
            plat::TextureLock lock;
            if (!texture->Lock(lock)) {
                ReportError("MakeUnitPhase() FAILED");
            } else {
                FillRows(lock, 0, UnitFramePixels(entry, h), h.width, h.height);
                texture->Unlock();
            }
            textures[f] = texture;
        }
    }
    work.textures[layer][orient] = textures;
    work.frames[layer][orient] = frames;
    if (layer == 0)
        work.atlas[orient] = atlas ? 1 : 0;
    else if (layer == 2)
        work.atlasLayer3[orient] = atlas ? 1 : 0;
    work.loaded[layer][orient].store(1, std::memory_order_release);
    return bytes;
}

// Work 3 takes the first frame of each built orientation and layer of its source, sharing the
// textures.
void DeriveStandPose(const TUnitWork& source, TUnitWork& stand)
{
    stand.frameCount = 1;
    for (int layer = 0; layer < UNIT_LAYERS; ++layer) {
        for (int orient = 0; orient < UNIT_STORED_ORIENTS; ++orient) {
            if (!source.IsLoaded(layer, orient) || source.frameCount < 1)
                continue;
            plat::Texture* texture = source.textures[layer][orient][0];
            if (texture != nullptr)
                texture->AddRef();
            stand.textures[layer][orient] = new plat::Texture*[1]{texture};
            stand.frames[layer][orient] = new TUnitFrame[1]{source.frames[layer][orient][0]};
            if (layer == 0)
                stand.atlas[orient] = source.atlas[orient];
            else if (layer == 2)
                stand.atlasLayer3[orient] = source.atlasLayer3[orient];
            stand.loaded[layer][orient].store(1, std::memory_order_release);
        }
    }
}

void FreeWorkFrames(TUnitWork& work)
{
    for (int layer = 0; layer < UNIT_LAYERS; ++layer) {
        for (int orient = 0; orient < UNIT_STORED_ORIENTS; ++orient) {
            plat::Texture** textures = work.textures[layer][orient];
            if (textures != nullptr) {
                const int count = work.IsAtlas(layer, orient) ? 1 : work.frameCount;
                for (int f = 0; f < count; ++f)
                    if (textures[f] != nullptr)
                        textures[f]->Release();
            }
            delete[] textures;
            delete[] work.frames[layer][orient];
            work.textures[layer][orient] = nullptr;
            work.frames[layer][orient] = nullptr;
            work.loaded[layer][orient].store(0, std::memory_order_relaxed);
        }
    }
    for (int orient = 0; orient < UNIT_STORED_ORIENTS; ++orient) {
        work.atlas[orient] = 0;
        work.atlasLayer3[orient] = 0;
    }
    work.frameCount = 0;
    work.textureBytes = 0;
}

} // namespace

TUnitGraphicServices TUnitGraphicServices::Default()
{
    TUnitGraphicServices services;
    services.request = [](TBasicUnit* type, std::uint32_t work) {
        LoaderRequest(MakeUnitPhasesRequest(UNIT_LOAD_PRIORITY, type, work));
    };
    services.createTexture = [](std::uint16_t width, std::uint16_t height) -> plat::Texture* {
        plat::Texture* texture = plat::Texture::Create(width, height, plat::PixelFormat::ARGB4444);
        if (texture != nullptr && texture->Width() == 0) {
            texture->Release();
            return nullptr;
        }
        return texture;
    };
    services.waitLoaderIdle = [] { WaitLoaderIdle(); };
    services.readEntry = [](std::uint32_t slot, std::uint16_t id, std::uint32_t* size) {
        return LoadLesEntry(slot, nullptr, id, size);
    };
    return services;
}

void SetUnitGraphicServices(TUnitGraphicServices services)
{
    g_Services = std::move(services);
}

bool ParseUnitWorkEntry(std::span<const std::uint8_t> entry, TUnitWorkArchive& out)
{
    out = TUnitWorkArchive{};
    if (entry.size() < kEntryHead) {
        ReportError("Unit graphics: work entry too short");
        return false;
    }
    out.frameCount = entry[0];
    out.layerBits = entry[1];
    const std::uint32_t count = static_cast<std::uint32_t>(out.frameCount) * UNIT_STORED_ORIENTS;
    const std::uint32_t layer1End = kEntryHead + count * UNIT_FRAME_HEADER_SIZE;
    if (!ReadHeaders(entry, kEntryHead, count, out.headers[0]) || layer1End + kLayerOffsetsSize > entry.size()) {
        ReportError("Unit graphics: bad frame headers of layer 1");
        return false;
    }
    const std::uint32_t layer3At = plat::ReadU32LE(entry.data() + layer1End);
    const std::uint32_t layer2At = plat::ReadU32LE(entry.data() + layer1End + 4);
    if ((out.layerBits & UNIT_LAYER3_BIT) && !ReadHeaders(entry, layer3At, count, out.headers[2])) {
        ReportError("Unit graphics: bad frame headers of layer 3");
        return false;
    }
    if ((out.layerBits & UNIT_LAYER2_BIT) && !ReadHeaders(entry, layer2At, count, out.headers[1])) {
        ReportError("Unit graphics: bad frame headers of layer 2");
        return false;
    }
    return true;
}

const std::uint8_t* UnitFramePixels(std::span<const std::uint8_t> entry, const TUnitFrameHeader& header)
{
    return entry.data() + header.pixelOffset;
}

plat::Texture* TUnitWork::FrameTexture(int layer, int orient, int frame) const
{
    if (layer < 0 || layer >= UNIT_LAYERS || orient < 0 || orient >= UNIT_STORED_ORIENTS || frame < 0 ||
        frame >= frameCount || !IsLoaded(layer, orient))
        return nullptr;
    return textures[layer][orient][IsAtlas(layer, orient) ? 0 : frame];
}

CUnitGraphic::~CUnitGraphic()
{
    FreeAll();
}

void CUnitGraphic::RequestWork(TBasicUnit* type, std::uint32_t work)
{
    if (work >= UNIT_COUNT_WORK || m_Works[work].loading.load(std::memory_order_acquire))
        return;
    m_Works[work].loading.store(1, std::memory_order_release);
    // The stand pose is built together with its source: it is loading as long as that is, so that
    // no one frees it halfway.
    const int source = StandPoseSource(*type, m_bReduced != 0);
    if (source >= 0 && static_cast<std::uint32_t>(source) == work)
        m_Works[3].loading.store(1, std::memory_order_release);
    g_Services.request(type, work);
}

std::uint32_t CUnitGraphic::AddGraphicRef(TBasicUnit* type)
{
    if (++m_RefCount != 1 || type == nullptr)
        return m_RefCount;
    // The setting is a local one: it changes what is loaded and drawn, never the type's sizes,
    // which the simulation reads.
    m_bReduced = g_bReducedAnimation ? 1 : 0;
    for (std::uint32_t work = 0; work < UNIT_COUNT_WORK; ++work) {
        if (work == 4) {
            if (!m_bReduced)
                RequestWork(type, work);
        } else if (work == 3) {
            // Work 3 is made from another work where one serves; where none does (air types, and
            // kind 4 without its lying animation) it is read like any other.
            if (StandPoseSource(*type, m_bReduced != 0) < 0)
                RequestWork(type, work);
        } else if (work == 5 && type->m_Kind == 4) {
            continue;
        } else {
            RequestWork(type, work);
        }
    }
    return m_RefCount;
}

std::uint32_t CUnitGraphic::ReleaseGraphicRef()
{
    if (m_RefCount == 0) {
        ReportError("CUnitGraphic::m_RefCount = 0");
        return 0;
    }
    if (--m_RefCount == 0)
        FreeAll();
    return m_RefCount;
}

void CUnitGraphic::FreeWork(std::uint32_t work)
{
    if (work >= UNIT_COUNT_WORK)
        return;
    TUnitWork& entry = m_Works[work];
    if (entry.loading.load(std::memory_order_acquire)) {
        g_Services.waitLoaderIdle();
        // An idle loader has run or dropped every request; a dropped one never clears the flag.
        entry.loading.store(0, std::memory_order_release);
    }
    FreeWorkFrames(entry);
}

void CUnitGraphic::FreeAll()
{
    for (std::uint32_t work = 0; work < UNIT_COUNT_WORK; ++work)
        FreeWork(work);
}

std::uint8_t CUnitGraphic::DrawFrameCount(const TBasicUnit& type, std::uint32_t work) const
{
    if (work >= UNIT_COUNT_WORK)
        return 0;
    if (m_bReduced && work == 4)
        return 0;
    if (m_bReduced && work == 3)
        return 1;
    return type.AnimationSize[work];
}

bool LoadUnitPhases(TBasicUnit* type, std::uint32_t work)
{
    if (type == nullptr || type->m_pGraphic == nullptr || work >= UNIT_COUNT_WORK)
        return false;
    CUnitGraphic& graphic = *type->m_pGraphic;
    TUnitWork& entry = graphic.m_Works[work];
    const int source = StandPoseSource(*type, graphic.m_bReduced != 0);
    const bool derives = source >= 0 && static_cast<std::uint32_t>(source) == work;
    auto finish = [&](bool ok) {
        if (derives)
            graphic.m_Works[3].loading.store(0, std::memory_order_release);
        entry.loading.store(0, std::memory_order_release);
        return ok;
    };

    std::uint32_t size = 0;
    std::uint8_t* data = g_Services.readEntry(graphic.m_ArchiveSlot, static_cast<std::uint16_t>(work), &size);
    if (data == nullptr)
        return finish(false);
    const std::span<const std::uint8_t> bytes(data, size);
    TUnitWorkArchive archive;
    if (!ParseUnitWorkEntry(bytes, archive)) {
        FreeLesEntry(data);
        return finish(false);
    }
    // A rebuilt work replaces what an earlier load left.
    FreeWorkFrames(entry);
    const int count = archive.frameCount;
    entry.frameCount = static_cast<std::int16_t>(count);
    std::uint32_t total = 0;
    if (count > 0) {
        for (int orient = 0; orient < UNIT_STORED_ORIENTS; ++orient) {
            const TUnitFrameHeader* headers = &archive.headers[0][static_cast<std::size_t>(orient) * count];
            std::uint32_t sum = 0;
            for (int f = 0; f < count; ++f)
                sum += headers[f].width;
            // A flying aircraft is drawn in one facing only; the others would waste texture memory.
            if (IsAirType(*type) && work == UNIT_WORK_FLY && sum >= UNIT_ATLAS_WIDTH_LIMIT &&
                orient != UNIT_FLY_ORIENT)
                continue;
            total += BuildOrient(entry, 0, orient, bytes, headers, count, true);
            if (archive.layerBits & UNIT_LAYER3_BIT)
                total += BuildOrient(entry, 2, orient, bytes,
                                     &archive.headers[2][static_cast<std::size_t>(orient) * count], count, true);
            if (archive.layerBits & UNIT_LAYER2_BIT)
                total += BuildOrient(entry, 1, orient, bytes,
                                     &archive.headers[1][static_cast<std::size_t>(orient) * count], count, false);
        }
    }
    FreeLesEntry(data);
    entry.textureBytes = total;
    if (derives) {
        FreeWorkFrames(graphic.m_Works[3]);
        DeriveStandPose(entry, graphic.m_Works[3]);
    }
    type->m_TextureBytes.fetch_add(total, std::memory_order_relaxed);
    g_UnitTextureBytes.fetch_add(total, std::memory_order_relaxed);
    return finish(true);
}

