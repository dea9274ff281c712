#include "units/unit_drawing.h"

#include <cmath>
#include <string>
#include <utility>

#include "combat/tower.h"
#include "core/archive.h"
#include "core/error_log.h"
#include "map/trench_pieces.h"
#include "core/app_state.h"
#include "core/geometry.h"
#include "units/parameter_files.h"
#include "devices/animation.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "devices/picture.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "platform/texture.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_graphics.h"
#include "units/unit_types.h"

TDebugUnitMarks g_DebugUnitMarks;

namespace {

constexpr float kQuarterPi = 0.7853982f;
constexpr float kEighthsPerRadian = 1.2732395f;
constexpr float kIsoX = 0.866025403f;
// Facing away from the viewer: the turning parts stand behind the body.
constexpr float kFacingAwayBelow = 1.5707964f;
constexpr float kFacingAwayAbove = 4.712389f;
constexpr std::uint8_t kWorkStayInHouse = 3;
constexpr std::uint8_t kWorkTransported = 20;
constexpr std::uint8_t kWorkCarrying = 11;
constexpr std::uint8_t kWorkTurn = 5;
constexpr std::uint8_t kCarrierType = 1;
constexpr std::uint8_t kKindGun = 4;
// Layers of a work entry.
constexpr int kPicture = 0;
constexpr int kShadow = 1;
constexpr int kOverlay = 2;
// Selection signs stand this far above the sprite box.
constexpr float kSignGap = 2.0f;
constexpr float kPointQuadSize = 4.0f;
constexpr float kDigitHeight = 7.0f;
constexpr float kDigitOffsetX = 9.0f;

TUnitDrawServices g_Services = TUnitDrawServices::Default();

// The textures unit drawing owns; loaded on first need.
struct TUnitDrawTextures {
    bool tried = false;
    plat::Texture* select = nullptr;
    plat::Texture* mark = nullptr;
    plat::Texture* wrecks[UNIT_WRECK_TYPE_LAST - UNIT_WRECK_TYPE_FIRST + 1][UNIT_WRECK_PICTURES] = {};
};
TUnitDrawTextures g_Textures;

plat::Texture* LoadSign(const std::string& path)
{
    plat::Texture* texture = Load444Texture(path.c_str());
    if (texture == nullptr)
        ReportError2("Unit drawing: cannot load ", path);
    return texture;
}

void EnsureTextures()
{
    if (g_Textures.tried)
        return;
    g_Textures.tried = true;
    g_Textures.select = LoadSign(UNIT_SELECT_SIGN_FILE);
    g_Textures.mark = LoadSign(UNIT_MARK_SIGN_FILE);
    for (int t = 0; t <= UNIT_WRECK_TYPE_LAST - UNIT_WRECK_TYPE_FIRST; ++t)
        for (int i = 0; i < UNIT_WRECK_PICTURES; ++i)
            g_Textures.wrecks[t][i] = LoadSign(std::string(UNIT_WRECK_FOLDER) + "Wreck" +
                                               std::to_string(UNIT_WRECK_TYPE_FIRST + t) + "_" + std::to_string(i) +
                                               ".444");
}

void Release(plat::Texture*& texture)
{
    if (texture != nullptr)
        texture->Release();
    texture = nullptr;
}

// The template's light times a colour, channel by channel, alpha from the light.
std::uint32_t Tinted(std::uint32_t light, std::uint32_t color)
{
    std::uint32_t out = light & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t a = (light >> shift) & 0xFF, b = (color >> shift) & 0xFF;
        out |= (a * b / 255) << shift;
    }
    return out;
}

void PlaceRect(TScreenQuad& q, float left, float top, float width, float height)
{
    q[0].x = q[2].x = left;
    q[1].x = q[3].x = left + width;
    q[0].y = q[1].y = top;
    q[2].y = q[3].y = top + height;
}

void SetRowDepths(TScreenQuad& q, TUnitQuadDepth d)
{
    q[0].z = q[1].z = d.top;
    q[2].z = q[3].z = d.bottom;
}

float ViewX()
{
    return static_cast<float>(g_ViewPixelX);
}
float ViewY()
{
    return static_cast<float>(g_ViewPixelY);
}

// The owner's nation, 255 when the owner is unknown.
std::uint8_t OwnerNation(const TUnit& unit)
{
    if (unit.Player < 8 && g_Strateg[unit.Player] != nullptr)
        return g_Strateg[unit.Player]->Nation;
    return 255;
}

// Where the frame of a layer is placed and what it shows.
struct TBodyPlace {
    float x = 0.0f;      // the unit's point on the screen
    float footY = 0.0f;  // the screen y of the unit's point lifted by its height
    float height = 0.0f; // for the depth: the unit's height above y, trench included
    float extra = 0.0f;  // the building term
};

// Draws frame f of a layer, placed in the type's sprite box; false when the frame has no texture.
void DrawLayerFrame(const TBasicUnit& type, const TUnitWork& work, int layer, const TUnitOrient& o,
                    const TBodyPlace& at, std::uint32_t diffuse)
{
    const TUnitFrame& f = work.frames[layer][o.stored][o.frame];
    plat::Texture* texture = work.FrameTexture(layer, o.stored, o.frame);
    if (texture == nullptr) {
        ReportError("!Surf in DRAW_SPRITE");
        return;
    }
    const float originX = static_cast<float>(type.m_SpriteOffsetX) + type.m_CentreX;
    const float originY = static_cast<float>(type.m_SpriteOffsetY) + type.m_CentreY;
    const float left = o.mirrored
                           ? at.x - (originX - static_cast<float>(type.m_SpriteWidth - f.width - f.x))
                           : at.x - originX + static_cast<float>(f.x);
    const float top = at.footY - (originY - static_cast<float>(f.y));
    TScreenQuad q = g_SpriteQuadTemplate;
    PlaceRect(q, left, top, f.width, f.height);
    if (work.IsAtlas(layer, o.stored))
        SetQuadTexCoords(q.data(), {f.left, f.right, f.bottom}, o.mirrored);
    else
        SetQuadTexCoordsFromFrame(q.data(), {f.texWidth, f.texHeight, f.width, f.height}, o.mirrored);
    SetRowDepths(q, UnitQuadDepth(top + f.height, f.height, at.height, at.extra));
    if (diffuse != 0)
        for (TScreenVertex& v : q)
            v.diffuse = diffuse;
    g_Services.drawQuad(texture, q, false);
}

// Step 9 of drawing: the picture, then the player-colour overlay over it.
void DrawBody(const TBasicUnit& type, const TUnitWork& work, const TUnitOrient& o, const TBodyPlace& at,
              std::uint8_t player)
{
    DrawLayerFrame(type, work, kPicture, o, at, 0);
    if (work.IsLoaded(kOverlay, o.stored))
        DrawLayerFrame(type, work, kOverlay, o, at, Tinted(g_SpriteQuadTemplate[0].diffuse, GetPlayerColorD3D(player)));
}

// The work and frame to draw after the substitutions of the kind and the reduced setting.
struct TWorkFrame {
    int work = 0;
    int frame = 0;
    int frameCount = 0; // frames the drawing allows in that work
};

TWorkFrame ChooseWorkFrame(const TBasicUnit& type, const TUnit& unit)
{
    TWorkFrame wf;
    wf.work = unit.NumWork;
    // A frame beyond any work's table (or not a number) stays out of range.
    wf.frame = unit.NumSprite >= 0.0f && unit.NumSprite < 256.0f ? static_cast<int>(unit.NumSprite) : 256;
    if (type.m_Kind == kKindGun && wf.work == kWorkTurn)
        wf = {3, 0, 0};
    const CUnitGraphic* g = type.m_pGraphic;
    // The reduced setting shows the idle fidget (work 4) as the stand pose of one frame.
    if (g != nullptr && g->m_bReduced && (wf.work == 4 || wf.work == 3))
        wf = {3, 0, 0};
    if (wf.work < UNIT_COUNT_WORK)
        wf.frameCount = g != nullptr ? g->DrawFrameCount(type, static_cast<std::uint32_t>(wf.work))
                                     : type.AnimationSize[wf.work];
    return wf;
}

void LogBadFrame(const TUnit& unit, const TWorkFrame& wf, const char* where)
{
    ReportError(where);
    ReportError(std::to_string(unit.Orient) + " =Orient");
    ReportError(std::to_string(unit.NumWork) + " =u->NumWork");
    ReportError(std::to_string(wf.frame) + " =Sprite");
    ReportError(std::to_string(wf.frameCount) + " =AnimSize");
}

enum class TBodyState { Skip, Hidden, Drawn };

// Resolves what to draw: Skip for a unit whose work lies beyond the table (nothing of it is
// drawn), Hidden when its frames are not loaded (or the archive has fewer than the type says).
// With fallback a bad facing or frame draws facing 0, frame 0; without, nothing.
TBodyState ResolveBody(const TBasicUnit& type, const TUnit& unit, const char* where, bool fallback,
                       const TUnitWork*& work, TUnitOrient& o)
{
    const TWorkFrame wf = ChooseWorkFrame(type, unit);
    const bool ok = wf.work < UNIT_COUNT_WORK &&
                    MapUnitOrient(unit.Orient, wf.work, type.m_bAir != 0, wf.frame, wf.frameCount, o);
    if (!ok) {
        LogBadFrame(unit, wf, where);
        if (wf.work >= UNIT_COUNT_WORK || !fallback)
            return TBodyState::Skip;
        o = {};
    }
    if (type.m_pGraphic == nullptr)
        return TBodyState::Hidden;
    work = &type.m_pGraphic->m_Works[wf.work];
    return work->IsLoaded(kPicture, o.stored) && o.frame < work->frameCount ? TBodyState::Drawn : TBodyState::Hidden;
}

bool OnTrenchPiece(const TUnit& unit)
{
    if (g_pObjectMap == nullptr || unit.MapX >= g_MapWidth || unit.MapY >= g_MapHeight)
        return false;
    const std::uint16_t code = GetObjectFromMap(unit.MapX, unit.MapY);
    return code >= kObjectTrenchPieceFirst && code <= kObjectTrenchPieceLast;
}

// The height of the unit above its point for drawing: its height and ground, sunk into a trench.
float DrawHeight(const TUnit& unit)
{
    float h = unit.Height + unit.GroundHeight;
    if (g_bTrench && OnTrenchPiece(unit))
        h -= UNIT_TRENCH_SINK;
    return h;
}

float BuildingTerm(const TUnit& unit)
{
    if (!unit.EnteringHouse || unit.House == nullptr || unit.House->TypeRecord == nullptr)
        return 0.0f;
    const std::uint8_t w = unit.Work;
    if (w != 2 && w != 6 && w != 9 && w != 5)
        return 0.0f;
    // The door's depth below the anchor is how far a unit at the door passes behind the walls.
    return -EnteringShare(unit) * static_cast<float>(std::abs(unit.House->TypeRecord->m_DoorY));
}

void DrawParts(TUnit* unit, float x, float y)
{
    if (unit->Towers == nullptr || unit->Basic == nullptr)
        return;
    for (int i = 0; i < unit->TowerCount; ++i) {
        CTower& tower = unit->Towers[i];
        TPartRecord* part = tower.m_pPart != nullptr ? tower.m_pPart : unit->Basic->PartRecord(static_cast<std::uint8_t>(i));
        DrawUnitPart(part, &tower, x, y, unit->Heading);
    }
}

// A sign of the unit's owner above its sprite box, centred on the unit's point.
void DrawSign(plat::Texture* texture, float centreX, float bottom, float z, std::uint32_t color)
{
    if (texture == nullptr)
        return;
    const float w = texture->Width(), h = texture->Height();
    TScreenQuad q = g_SpriteQuadTemplate;
    PlaceRect(q, centreX - w / 2.0f, bottom - h, w, h);
    for (TScreenVertex& v : q) {
        v.z = z;
        v.diffuse = color;
    }
    g_Services.drawQuad(texture, q, false);
}

// Steps 10 and 11 of drawing.
void DrawSigns(const TBasicUnit& type, const TUnit& unit, const TBodyPlace& at)
{
    const bool mine = unit.Player == MyPlayer;
    const float boxTop = at.footY - (static_cast<float>(type.m_SpriteOffsetY) + type.m_CentreY);
    const float z = UnitDepth(boxTop + type.m_SpriteHeight, at.height);
    const std::uint32_t color = Tinted(0xFFFFFFFFu, GetPlayerColorD3D(unit.Player));
    float signTop = boxTop - kSignGap;
    if (unit.Selected && (mine || g_bEditorMode)) {
        plat::Texture* sign = UnitSelectSignTexture();
        DrawSign(sign, at.x, signTop, z, color);
        if (sign != nullptr)
            signTop -= static_cast<float>(sign->Height()) + 1.0f;
        if (g_DebugUnitMarks.selectedSign && !unit.Dead)
            DrawSign(UnitMarkSignTexture(), at.x, signTop, z, color);
    }
    if (mine && unit.m_StoredGroup >= 0) {
        // The digits stand right of the sign with the depth of the unit's point.
        const float top = boxTop - kSignGap - kDigitHeight;
        const float foot = at.footY + 2.0f * at.height;
        g_Services.drawNumber(at.x + kDigitOffsetX, (foot + top) / 2.0f, (foot - top) / 2.0f, unit.m_StoredGroup);
    }
    if (g_DebugUnitMarks.pointQuads) {
        TScreenQuad q = g_SpriteQuadTemplate;
        PlaceRect(q, at.x - kPointQuadSize / 2, at.footY - kPointQuadSize / 2, kPointQuadSize, kPointQuadSize);
        for (TScreenVertex& v : q)
            v.z = 0.0f;
        g_Services.drawQuad(g_pWhiteTexture, q, false);
    }
}

// The ground picture of an aircraft wreck, flat on the ground at half alpha.
void DrawWreck(const TUnit& unit)
{
    plat::Texture* texture = UnitWreckTexture(unit.Type, (unit.Orient & 0xFF) % UNIT_WRECK_PICTURES);
    if (texture == nullptr)
        return;
    const float w = texture->Width(), h = texture->Height();
    const float x = unit.X - ViewX(), y = unit.Y - unit.GroundHeight - ViewY();
    TScreenQuad q = g_SpriteQuadTemplate;
    PlaceRect(q, x - w / 2.0f, y - h / 2.0f, w, h);
    q[0].z = q[1].z = UnitDepth(y - h / 2.0f, unit.GroundHeight);
    q[2].z = q[3].z = UnitDepth(y + h / 2.0f, unit.GroundHeight);
    for (TScreenVertex& v : q)
        v.diffuse = (v.diffuse & 0x00FFFFFFu) | (UNIT_WRECK_ALPHA << 24);
    g_Services.drawQuad(texture, q, true);
}

// Shows one firing effect; true once it has finished (or has nothing to show).
bool ShowFlash(TAnimationStruct* flash)
{
    if (flash == nullptr || flash->m_pSprites == nullptr)
        return true;
    flash->Show(0u);
    return flash->m_bFinished != 0;
}

} // namespace

float UnitDepth(float screenY, float height, float extra)
{
    const float value = static_cast<float>(g_ViewDepthBase) + 1024.0f + screenY + 2.0f * height + extra;
    return ClampedDepth(value);
}

TUnitQuadDepth UnitQuadDepth(float bottomY, float quadHeight, float height, float extra)
{
    return {UnitDepth(bottomY + quadHeight, height, extra), UnitDepth(bottomY, height, extra)};
}

bool MapUnitOrient(int orient, int work, bool air, int frame, int frameCount, TUnitOrient& out)
{
    out = {};
    if (orient < 0 || orient > 7 || frame < 0 || frame >= frameCount)
        return false;
    if (orient <= 4) {
        out = {orient, false, frame};
        return true;
    }
    if (work == kWorkTurn || (work == UNIT_WALK && air)) {
        const int reversed = frameCount - frame - 1;
        if (reversed < 0 || reversed >= frameCount)
            return false;
        out = {7 - orient, true, reversed};
        return true;
    }
    out = {8 - orient, true, frame};
    return true;
}

float EnteringShare(const TUnit& unit)
{
    const float d = std::fabs(unit.X - unit.GoalX) + std::fabs(unit.Y - unit.GoalY);
    const float total = std::fabs(unit.StartX - unit.GoalX) + std::fabs(unit.StartY - unit.GoalY);
    const bool entering = unit.Work == 2 || unit.Work == 6;
    float share;
    if (!(total > 0.0f))
        share = entering ? 1.0f : 0.0f;
    else
        share = entering ? 1.0f - d / total : d / total;
    // A unit pushed off its line can stand farther than its start.
    return share < 0.0f ? 0.0f : share > 1.0f ? 1.0f : share;
}

void TBasicUnit::Draw(TUnit* unit)
{
    if (unit == nullptr || unit->Work == kWorkStayInHouse || unit->Work == kWorkTransported || !unit->m_bShown)
        return;
    const TBasicUnit* type = this;
    if (unit->Work == kWorkCarrying) {
        // A worker carrying a load looks like type 1 of its nation.
        if (const TBasicUnit* carrier = GetUnitType(OwnerNation(*unit), kCarrierType))
            type = carrier;
    }
    const TUnitWork* work = nullptr;
    TUnitOrient o;
    const TBodyState body = ResolveBody(*type, *unit, "if (Orient>7 || u->NumWork>=UNIT_COUNT_WORK || Sprite >= "
                                                      "BUnit->AnimationSize[u->NumWork]) in TBasicUnit::Draw",
                                        true, work, o);
    if (body == TBodyState::Skip)
        return;

    TBodyPlace at;
    at.height = DrawHeight(*unit);
    at.x = unit->X - ViewX();
    at.footY = unit->Y - ViewY() - at.height;
    at.extra = BuildingTerm(*unit);

    const bool partsFirst = unit->Heading < kFacingAwayBelow || unit->Heading > kFacingAwayAbove;
    if (partsFirst)
        DrawParts(unit, at.x, at.footY);
    else
        DrawAttachedAnimations(unit);

    if (body == TBodyState::Drawn) {
        if (type->m_bAir && work->IsLoaded(kShadow, o.stored)) {
            // The shadow lies on the ground under the aircraft, smoothed.
            TBodyPlace ground = at;
            ground.height = unit->GroundHeight;
            ground.footY = unit->Y - ViewY() - unit->GroundHeight;
            g_Services.setLinearFilter(true);
            DrawLayerFrame(*type, *work, kShadow, o, ground, 0);
            g_Services.setLinearFilter(false);
        }
        DrawBody(*type, *work, o, at, unit->Player);
    }

    if (partsFirst)
        DrawAttachedAnimations(unit);
    else
        DrawParts(unit, at.x, at.footY);
    DrawSigns(*type, *unit, at);
}

void DrawUnitAround(TUnit* unit, const std::function<void(float x, float footY, float height)>& body)
{
    if (unit == nullptr || unit->Basic == nullptr || !unit->m_bShown)
        return;
    TBodyPlace at;
    at.height = DrawHeight(*unit);
    at.x = unit->X - ViewX();
    at.footY = unit->Y - ViewY() - at.height;
    const bool partsFirst = unit->Heading < kFacingAwayBelow || unit->Heading > kFacingAwayAbove;
    if (partsFirst)
        DrawParts(unit, at.x, at.footY);
    else
        DrawAttachedAnimations(unit);
    if (body)
        body(at.x, at.footY, at.height);
    if (partsFirst)
        DrawAttachedAnimations(unit);
    else
        DrawParts(unit, at.x, at.footY);
    DrawSigns(*unit->Basic, *unit, at);
}

std::uint32_t UnitPlayerTint(std::uint8_t player)
{
    return Tinted(g_SpriteQuadTemplate[0].diffuse, GetPlayerColorD3D(player));
}

void TBasicUnit::DrawDead(TUnit* unit)
{
    if (unit == nullptr)
        return;
    if (unit->Work == kWorkStayInHouse) {
        ReportError("DrawDead if(u->Work == STAY_IN_HOUSE)");
        return;
    }
    const TUnitWork* work = nullptr;
    TUnitOrient o;
    if (ResolveBody(*this, *unit, "DrawDead: bad orientation, work or frame", false, work, o) != TBodyState::Drawn)
        return;
    if (unit->Type >= UNIT_WRECK_TYPE_FIRST && unit->Type <= UNIT_WRECK_TYPE_LAST)
        DrawWreck(*unit);
    TBodyPlace at;
    at.height = unit->Height + unit->GroundHeight;
    at.x = unit->X - ViewX();
    at.footY = unit->Y - ViewY() - at.height;
    DrawBody(*this, *work, o, at, unit->Player);
}

// --- turning parts and attached animations ---

void DrawUnitPart(TPartRecord* part, CTower* tower, float x, float y, float unitAngle)
{
    if (part == nullptr || tower == nullptr || part->mode == 0)
        return;
    const float angle = AddAngles(tower->m_Angle, unitAngle);
    TVector3 pivot{part->pivot[0], part->pivot[1], part->pivot[2]};
    RotateVectorZ(pivot, unitAngle);
    const float px = x + (pivot.x - pivot.y) * kIsoX;
    const float py = y - ((pivot.x + pivot.y) * 0.5f + pivot.z);

    const TPartFrameEntry* entry = part->frameEntry;
    if (entry != nullptr && entry->pictures != nullptr && entry->pictures->IsLoaded() && entry->steps != 0) {
        const int steps = entry->steps;
        int o = static_cast<int>(angle * kEighthsPerRadian);
        int s = static_cast<int>((angle - static_cast<float>(o) * kQuarterPi) * static_cast<float>(steps) *
                                     kEighthsPerRadian + 0.5f);
        if (o == 7 && s >= steps)
            o = s = 0;
        if (const TPicture* picture = entry->pictures->Picture(o * steps + s)) {
            TScreenQuad q = g_SpriteQuadTemplate;
            picture->DrawAll(kPictureUprightBit, px, py, UNIT_PART_DEPTH, q.data());
        }
    }

    const int barrels = tower->m_BarrelCount < TOWER_MAX_BARRELS ? tower->m_BarrelCount : TOWER_MAX_BARRELS;
    for (int b = 0; b < barrels; ++b) {
        if (!tower->m_Firing[b])
            continue;
        const bool doneA = ShowFlash(tower->m_FlashA != nullptr ? tower->m_FlashA[b] : nullptr);
        const bool doneB = ShowFlash(tower->m_FlashB != nullptr ? tower->m_FlashB[b] : nullptr);
        if (doneA && doneB)
            tower->m_Firing[b] = 0;
    }
}

void PlaceAttachedAnimation(TUnit* unit, int i)
{
    if (unit == nullptr || unit->Basic == nullptr || unit->m_pAnimations == nullptr)
        return;
    TBasicUnit& type = *unit->Basic;
    if (i < 0 || i >= type.m_AnimCount || i >= unit->m_AnimationCount || unit->m_pAnimations[i] == nullptr ||
        type.m_StartVectors == nullptr || type.m_EndVectors == nullptr)
        return;
    // A type without turning frames turns its attachments by whole eighths.
    const int steps = type.TurnSteps() != 0 ? type.TurnSteps() : 1;
    const float step = kQuarterPi / static_cast<float>(steps);
    const float angle = std::floor(unit->Heading / step) * step;
    auto project = [&](const TUnitVector& v, float& sx, float& sy) {
        TVector3 p{v.x, v.y, v.z};
        RotateVectorZ(p, angle);
        sx = (p.x - p.y) * kIsoX + unit->X;
        sy = unit->Y - unit->Height - unit->GroundHeight - ((p.x + p.y) * 0.5f + p.z);
    };
    float x0, y0, x1, y1;
    project(type.m_StartVectors[i], x0, y0);
    project(type.m_EndVectors[i], x1, y1);
    unit->m_pAnimations[i]->Direction(x1, y1, 0.0f, x0, y0, 0.0f);
}

void DrawAttachedAnimations(TUnit* unit)
{
    if (unit == nullptr || unit->Basic == nullptr || unit->m_pAnimations == nullptr)
        return;
    for (int i = 0; i < unit->Basic->m_AnimCount && i < unit->m_AnimationCount; ++i) {
        if (unit->m_pAnimations[i] == nullptr)
            continue;
        PlaceAttachedAnimation(unit, i);
        unit->m_pAnimations[i]->Show(0u);
    }
}

// --- the sprite list ---

TSpriteList::TSpriteList() = default;
TSpriteList::~TSpriteList() = default;

bool TSpriteList::Load(std::uint32_t slot, std::uint32_t index)
{
    Clear();
    const std::uint32_t id = index + SPRITE_LIST_ENTRY_BASE;
    if (id > 0xFFFF || id < index) {
        ReportErrorInt("TSpriteList::Load: no archive entry for index ", index);
        return false;
    }
    std::uint32_t size = 0;
    std::uint8_t* entry = LoadLesEntry(slot, nullptr, static_cast<std::uint16_t>(id), &size);
    if (entry == nullptr) {
        ReportErrorInt("TSpriteList::Load: cannot read archive entry ", id);
        return false;
    }
    const bool ok = LoadFromMemory({entry, size});
    FreeLesEntry(entry);
    return ok;
}

bool TSpriteList::LoadFromMemory(std::span<const std::uint8_t> entry)
{
    Clear();
    if (entry.empty()) {
        ReportError("TSpriteList::Load: empty entry");
        return false;
    }
    const int count = entry[0];
    const int total = count * SPRITE_LIST_HEADINGS;
    auto pictures = std::make_unique<TPicture[]>(static_cast<std::size_t>(total));
    std::size_t pos = 1;
    for (int i = 0; i < total; ++i) {
        const std::uint32_t used = pictures[i].LoadFromMemory(entry.subspan(pos));
        if (used == 0) {
            ReportErrorInt("TSpriteList::Load: picture cut short, number ", i);
            return false;
        }
        pos += used;
    }
    if (pos != entry.size()) {
        ReportError("TSpriteList::Load: bytes left after the pictures");
        return false;
    }
    m_Pictures = std::move(pictures);
    m_Count = static_cast<std::uint8_t>(count);
    m_bLoaded = 1;
    return true;
}

void TSpriteList::Clear()
{
    m_Pictures.reset();
    m_Count = 0;
    m_bLoaded = 0;
}

const TPicture* TSpriteList::Picture(int i) const
{
    if (!m_bLoaded || i < 0 || i >= m_Count * SPRITE_LIST_HEADINGS)
        return nullptr;
    return &m_Pictures[i];
}

// --- services and textures ---

TUnitDrawServices TUnitDrawServices::Default()
{
    TUnitDrawServices s;
    s.drawQuad = [](plat::Texture* texture, const TScreenQuad& quad, bool diffuseAlpha) {
        if (g_pD3DDevice == nullptr)
            return;
        std::uint32_t alphaOp = 0, alphaArg2 = 0;
        if (diffuseAlpha) {
            alphaOp = g_pD3DDevice->GetTextureStageState(D3DStageState::AlphaOp);
            alphaArg2 = g_pD3DDevice->GetTextureStageState(D3DStageState::AlphaArg2);
            g_pD3DDevice->SetTextureStageState(0, D3DStageState::AlphaOp, static_cast<std::uint32_t>(plat::TextureOp::Modulate));
            g_pD3DDevice->SetTextureStageState(0, D3DStageState::AlphaArg2, static_cast<std::uint32_t>(plat::TextureArg::Current));
        }
        g_pD3DDevice->SetTexture(0, texture);
        g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, quad.data(), 4, kDrawWait);
        if (diffuseAlpha) {
            g_pD3DDevice->SetTextureStageState(0, D3DStageState::AlphaOp, alphaOp);
            g_pD3DDevice->SetTextureStageState(0, D3DStageState::AlphaArg2, alphaArg2);
        }
    };
    s.setLinearFilter = [](bool linear) {
        if (g_pD3DDevice != nullptr)
            g_pD3DDevice->SetTextureStageState(
                0, D3DStageState::MagFilter,
                static_cast<std::uint32_t>(linear ? plat::TextureFilter::Linear : plat::TextureFilter::Point));
    };
    s.drawNumber = [](float x, float y, float height, long long value) { DrawNumberTextured(x, y, height, value); };
    return s;
}

void SetUnitDrawServices(TUnitDrawServices services)
{
    g_Services = std::move(services);
}

void FreeUnitDrawTextures()
{
    Release(g_Textures.select);
    Release(g_Textures.mark);
    for (auto& row : g_Textures.wrecks)
        for (plat::Texture*& t : row)
            Release(t);
    g_Textures.tried = false;
}

plat::Texture* UnitSelectSignTexture()
{
    EnsureTextures();
    return g_Textures.select;
}

plat::Texture* UnitMarkSignTexture()
{
    EnsureTextures();
    return g_Textures.mark;
}

plat::Texture* UnitWreckTexture(std::uint16_t unitType, int picture)
{
    if (unitType < UNIT_WRECK_TYPE_FIRST || unitType > UNIT_WRECK_TYPE_LAST || picture < 0 ||
        picture >= UNIT_WRECK_PICTURES)
        return nullptr;
    EnsureTextures();
    return g_Textures.wrecks[unitType - UNIT_WRECK_TYPE_FIRST][picture];
}
