#include "combat/craters.h"

#include <cmath>
#include <cstdio>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "core/app_state.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "combat/battle_services.h"
#include "platform/paths.h"

TCraters* g_pCraters = nullptr;

namespace {

constexpr const char* kFlatArchive = "Data\\Objects\\Animation\\Craters\\Craters.les";
constexpr const char* kUprightArchive = "Data\\Objects\\Animation\\Craters\\Vertical.les";
constexpr const char* kBurstArchive = "Data\\Objects\\Animation\\Craters\\burst.les";
constexpr std::uint16_t kBurstEntry = 65535;

std::uint32_t CountEntries(const char* path)
{
    if (!Load_LesHeader(LES_SLOT_ANIMATION, path))
        return 0;
    const std::uint32_t n = GetLesEntryCount(LES_SLOT_ANIMATION);
    CloseLes(LES_SLOT_ANIMATION);
    return n;
}

// The burst picture is entry 65535, the id the animation loader reads as "every frame", so it is
// read here: a ".444" entry becomes the set's single frame.
void LoadBurstPicture(TAnimationSprites& sprites)
{
    if (!Load_LesHeader(LES_SLOT_ANIMATION, kBurstArchive))
        return;
    std::uint32_t size = 0;
    std::uint8_t* entry = LoadLesEntry(LES_SLOT_ANIMATION, nullptr, kBurstEntry, &size);
    CloseLes(LES_SLOT_ANIMATION);
    if (entry == nullptr)
        return;
    if (size >= 4) {
        const auto w = static_cast<std::uint16_t>(entry[0] | (entry[1] << 8));
        const auto h = static_cast<std::uint16_t>(entry[2] | (entry[3] << 8));
        if (w > 0 && h > 0 && size - 4 >= std::uint64_t{w} * h * 2)
            if (plat::Texture* t = CreateTexture4444(entry + 4, w, h))
                sprites.AdoptFrames({t}, w, h);
    }
    FreeLesEntry(entry);
}

} // namespace

TCraters::TCraters()
{
    m_FlatCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(CountEntries(kFlatArchive), 200));
    m_UprightCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(CountEntries(kUprightArchive), 50));
    // Without the flat archive there is nothing to draw from: the store stays without sets.
    if (m_FlatCount == 0)
        return;
    const int total = m_FlatCount + m_UprightCount + 1;
    for (int i = 0; i < total; ++i) {
        auto* s = new TCraterSet;
        s->index = static_cast<std::uint8_t>(i);
        s->kind = i < m_FlatCount ? ANIMATION_LYING : ANIMATION_UPRIGHT;
        s->sprites.m_Id = s->index;
        s->sprites.m_Location = s->kind;
        m_Sets.push_back(s);
    }
    if (g_bEditorMode != 0)
        for (int i = 0; i < total; ++i)
            EnsureSet(static_cast<std::uint8_t>(i));
}

TCraters::~TCraters()
{
    ClearPictures();
    for (TCraterSet* s : m_Sets)
        delete s;
}

bool TCraters::EnsureSet(std::uint8_t i)
{
    if (i >= m_Sets.size())
        return false;
    TCraterSet& s = *m_Sets[i];
    if (!s.tried) {
        s.tried = true;
        if (i < m_FlatCount)
            s.sprites.LoadAnimationFromArhive(kFlatArchive, ANIMATION_FORMAT_4444, i);
        else if (i < m_FlatCount + m_UprightCount)
            s.sprites.LoadAnimationFromArhive(kUprightArchive, ANIMATION_FORMAT_4444,
                                              static_cast<std::uint16_t>(i - m_FlatCount));
        else
            LoadBurstPicture(s.sprites);
        s.sprites.m_Id = s.index;
        s.sprites.m_Location = s.kind;
    }
    return s.sprites.m_Count > 0 && s.sprites.FrameTexture(0) != nullptr;
}

std::uint16_t TCraters::LifeOf(std::uint8_t set, std::uint8_t kind)
{
    if (set == 2)
        return 2;
    return kind == ANIMATION_LYING ? CRATER_LIFE_LYING : 0;
}

TGroundPicture* TCraters::AddPicture(std::uint32_t x, std::uint32_t y, std::uint8_t set)
{
    if (set >= m_Sets.size())
        return nullptr;
    if (g_bEditorMode != 0 && m_Pictures.size() >= CRATER_EDITOR_LIMIT) {
        BattleServices().queueText(50, 320, u"Can't add more 300 pictures. Clear unnecessary.", 100, 0xffffff);
        return nullptr;
    }
    // The margins are compared as signed values: a point left of or above the map is refused.
    const std::int64_t sx = static_cast<std::int32_t>(x), sy = static_cast<std::int32_t>(y);
    if (sx >= std::int64_t{g_MapWidth} * 96 - CRATER_MARGIN_X || sy >= std::int64_t{g_MapHeight} * 24 - CRATER_MARGIN_Y
        || sx < CRATER_MARGIN_X + 1 || sy < CRATER_MARGIN_Y + 1)
        return nullptr;
    for (const TGroundPicture* p : m_Pictures)
        if (p->set == set && static_cast<std::int64_t>(p->m_X) == sx && static_cast<std::int64_t>(p->m_Y) == sy)
            return nullptr;
    if (!EnsureSet(set))
        return nullptr;
    auto* p = new TGroundPicture;
    p->set = set;
    p->m_Type = set;
    p->SetSprites(&m_Sets[set]->sprites, false);
    p->SetCoord(static_cast<float>(sx), static_cast<float>(sy));
    p->m_Repeat = LifeOf(set, m_Sets[set]->kind);
    m_Pictures.push_back(p);
    return p;
}

void TCraters::DeletePicture(std::size_t i)
{
    delete m_Pictures[i];
    m_Pictures.erase(m_Pictures.begin() + static_cast<std::ptrdiff_t>(i));
}

void TCraters::DrawCraters()
{
    for (std::size_t i = 0; i < m_Pictures.size();) {
        TGroundPicture* p = m_Pictures[i];
        EnsureSet(p->set);
        p->Show();
        if (p->m_bFinished != 0)
            DeletePicture(i);
        else
            ++i;
    }
}

void TCraters::DrawCratersPass2()
{
    for (TGroundPicture* p : m_Pictures)
        p->Show();
}

void TCraters::ClearPictures()
{
    for (TGroundPicture* p : m_Pictures)
        delete p;
    m_Pictures.clear();
}

void TCraters::SaveCraters(TOfStreamMemory& out) const
{
    out.WriteU16(static_cast<std::uint16_t>(m_Pictures.size()));
    for (const TGroundPicture* p : m_Pictures)
        p->Save(out);
}

bool TCraters::LoadCraters(TIfStreamMemory& in)
{
    ClearPictures();
    std::uint16_t n = 0;
    if (!in.ReadU16(n))
        return false;
    for (std::uint16_t i = 0; i < n; ++i) {
        auto* p = new TGroundPicture;
        if (!p->Load(in)) {
            delete p;
            ReportError("LoadCraters: the block ends inside a picture");
            return false;
        }
        // A picture of a set this game does not have would draw from nothing: it is left out.
        if (p->m_Type >= m_Sets.size()) {
            ReportErrorInt("LoadCraters: a picture of an unknown set is left out, set ", p->m_Type);
            delete p;
            continue;
        }
        p->set = p->m_Type;
        EnsureSet(p->set);
        // The record keeps its own frame range and corners; only the set is bound again.
        p->m_pSprites = &m_Sets[p->set]->sprites;
        p->m_Repeat = LifeOf(p->set, m_Sets[p->set]->kind);
        m_Pictures.push_back(p);
    }
    return true;
}

bool TCraters::SavePictures(const std::string& path, const plat::Rect& rect) const
{
    TOfStreamMemory out;
    std::uint16_t n = 0;
    auto inside = [&](const TGroundPicture* p) {
        return p->m_X >= rect.left && p->m_X < rect.right && p->m_Y >= rect.top && p->m_Y < rect.bottom;
    };
    for (const TGroundPicture* p : m_Pictures)
        n += inside(p) ? 1 : 0;
    out.WriteU16(n);
    for (const TGroundPicture* p : m_Pictures) {
        if (!inside(p))
            continue;
        out.WriteF32(p->m_X - static_cast<float>(rect.left));
        out.WriteF32(p->m_Y - static_cast<float>(rect.top));
        out.WriteU8(p->set);
    }
    return plat::WriteFileAtomic(plat::ResolvePath(path), out.Data(), static_cast<std::size_t>(out.Size()));
}

bool TCraters::LoadPictures(const std::string& path, const plat::Point& origin)
{
    TIfStreamMemory in(path.c_str());
    std::uint16_t n = 0;
    if (!in.ReadU16(n)) {
        ReportError2("LoadPictures: cannot read ", path);
        return false;
    }
    for (std::uint16_t i = 0; i < n; ++i) {
        float x = 0, y = 0;
        std::uint8_t set = 0;
        if (!in.ReadF32(x) || !in.ReadF32(y) || !in.ReadU8(set)) {
            ReportError2("LoadPictures: the file ends inside a picture: ", path);
            return false;
        }
        const double px = origin.x + static_cast<double>(x), py = origin.y + static_cast<double>(y);
        if (!std::isfinite(px) || !std::isfinite(py) || px < 0.0 || py < 0.0 || px > 4.0e9 || py > 4.0e9)
            continue;
        AddPicture(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py), set);
    }
    return true;
}

bool TCraters::DeleteNearest(float x, float y)
{
    double best = -1.0;
    std::size_t pick = 0;
    for (std::size_t i = 0; i < m_Pictures.size(); ++i) {
        const double dx = m_Pictures[i]->m_X - x, dy = m_Pictures[i]->m_Y - y;
        const double d = dx * dx + dy * dy;
        if (best < 0.0 || d < best) {
            best = d;
            pick = i;
        }
    }
    if (best < 0.0)
        return false;
    DeletePicture(pick);
    return true;
}

void TCraters::RemoveInvisible()
{
    for (std::size_t i = 0; i < m_Pictures.size();)
        if (!m_Pictures[i]->IsVisible())
            DeletePicture(i);
        else
            ++i;
}

std::uint16_t TCraters::CountVisible() const
{
    std::uint16_t n = 0;
    for (const TGroundPicture* p : m_Pictures)
        n += p->IsVisible() ? 1 : 0;
    return n;
}

// ---- the game's store ----------------------------------------------------------------------------

void CreateCraters()
{
    delete g_pCraters;
    g_pCraters = new TCraters;
}

void FreeCraters()
{
    delete g_pCraters;
    g_pCraters = nullptr;
}

void SaveCraters(TOfStreamMemory& out)
{
    if (g_pCraters != nullptr)
        g_pCraters->SaveCraters(out);
    else
        out.WriteU16(0);
}

bool LoadCraters(TIfStreamMemory& in)
{
    if (g_pCraters != nullptr)
        return g_pCraters->LoadCraters(in);
    // Without a store (the map tools) the block is read and passed over.
    TCraters none;
    return none.LoadCraters(in);
}

void DrawCraters()
{
    if (g_pCraters != nullptr)
        g_pCraters->DrawCraters();
}

void DrawCratersPass2()
{
    if (g_pCraters != nullptr)
        g_pCraters->DrawCratersPass2();
}
