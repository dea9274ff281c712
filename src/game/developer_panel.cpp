#include "game/developer_panel.h"

#include <mutex>
#include <string_view>

#include "core/app_state.h"
#include "devices/display.h"
#include "game/frame_drawing.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "net/net_events.h"
#include "platform/draw.h"
#include "platform/window.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr int kPanelX = 10;
constexpr int kPanelY = 60;
constexpr int kUnitDebugX = 10;
constexpr int kUnitDebugY = 420;
constexpr int kLineStep = 16;
constexpr std::uint32_t kTextColour = 0x0000FFFFu; // yellow
constexpr std::uint32_t kTargetLineColour = 0x000000FFu;

std::u16string Text(std::string_view ascii)
{
    return {ascii.begin(), ascii.end()};
}

std::u16string Number(long long value)
{
    return Text(std::to_string(value));
}

std::u16string Line(std::u16string_view label, long long value)
{
    return std::u16string(label) + Number(value);
}

void DrawLines(const std::vector<std::u16string>& lines, int x, int y)
{
    if (g_pDDSBack == nullptr)
        return;
    const std::uint32_t colour = g_TextColor;
    g_TextColor = kTextColour;
    for (const std::u16string& line : lines) {
        DrawTextWithBackground(g_pDDSBack, x, y, line, true);
        y += kLineStep;
    }
    g_TextColor = colour;
}

std::uint32_t CommandMessageCount()
{
    std::uint32_t n = 0;
    std::lock_guard lock(g_HeapLock);
    for (const TStrateg* p : g_Strateg)
        if (p != nullptr)
            n += p->HeapCount;
    return n;
}

// Lines on the screen from each selected unit of the local player to the unit it attacks.
void DrawTargetLines()
{
    const TStrateg* me = MyPlayer < 8 ? g_Strateg[MyPlayer] : nullptr;
    if (me == nullptr || me->NumSelectedUnits == 0 || g_pDDSBack == nullptr)
        return;
    plat::DrawContext dc(g_pDDSBack);
    if (!dc)
        return;
    dc.SelectPen(plat::Pen{plat::kPenSolid, 1, kTargetLineColour});
    for (const TUnit* u = me->FirstUnit; u != nullptr; u = u->m_pNext) {
        if (!u->Selected || u->AttackUnit == nullptr)
            continue;
        dc.MoveTo(static_cast<int>(u->X) - g_ViewPixelX, static_cast<int>(u->Y) - g_ViewPixelY);
        dc.LineTo(static_cast<int>(u->AttackUnit->X) - g_ViewPixelX, static_cast<int>(u->AttackUnit->Y) - g_ViewPixelY);
    }
}

} // namespace

std::vector<std::u16string> DeveloperPanelLines()
{
    std::vector<std::u16string> lines;
    for (int p = 0; p < 8; ++p) {
        const TStrateg* s = g_Strateg[p];
        if (s == nullptr)
            continue;
        std::u16string line = u"P" + Number(p) + u":";
        for (int r = 0; r < STRATEG_RESOURCES; ++r)
            line += u" " + Number(static_cast<long long>(s->Res[r].spendable));
        lines.push_back(line);
    }
    lines.push_back(Line(u"StratMesCount:", CommandMessageCount()));
    lines.push_back(Line(u"Queue Size:", GlobalHeapCount()));
    lines.push_back(Line(u"MyPlayer:", MyPlayer));
    std::uint64_t total = 0;
    std::uint64_t free = 0;
    plat::PhysicalMemoryKb(total, free);
    lines.push_back(Line(u"Total memory (Kb):    ", static_cast<long long>(total)));
    lines.push_back(Line(u"Free memory (Kb):    ", static_cast<long long>(free)));
    if (IsNetGame()) {
        for (int p = 0; p < 8; ++p) {
            const TStrateg* s = g_Strateg[p];
            if (s == nullptr)
                continue;
            const TGroupManager* g = s->GroupManager.get();
            lines.push_back(u"P" + Number(p) + u" " + Number(s->OutOfGame) + u" " + Number(s->NotPlaying) + u" "
                            + Number(s->Dead) + u" " + Number(g ? g->WarTemplate : 0) + u" " + Number(g ? g->HardLevel : 0));
        }
        const std::uint8_t me = MyPlayer < 8 ? MyPlayer : 0;
        lines.push_back(Line(u"Shift", g_ShiftDown[me]) + Line(u" Control", g_CtrlDown[me]));
    }
    return lines;
}

std::vector<std::u16string> UnitDebugLines()
{
    std::vector<std::u16string> lines;
    lines.push_back(Line(u"Units   :    ", NumUnits[0]));
    const TStrateg* first = g_Strateg[0];
    const TUnit* head = first != nullptr ? first->FirstUnit : nullptr;
    long long listed = 0;
    for (const TUnit* u = head; u != nullptr; u = u->m_pNext)
        ++listed;
    lines.push_back(Line(u"Число юнитов:    ", listed));
    if (head != nullptr) {
        lines.push_back(Line(u"NumWork=:  ", head->NumWork));
        lines.push_back(Line(u"NumSprite=:  ", static_cast<long long>(head->NumSprite)));
        lines.push_back(Line(u"Orient=:  ", head->Orient));
        lines.push_back(Line(u"RotateOrient:  ", head->WantedOrient));
    }
    const std::uint32_t x = g_MouseCellX;
    const std::uint32_t y = g_MouseCellY;
    TCellUnits* cell = g_pUnitsMap != nullptr && x < g_MapWidth && y < g_MapHeight
        ? g_pUnitsMap[static_cast<std::size_t>(y) * g_MapWidth + x]
        : nullptr;
    if (cell == nullptr) {
        lines.push_back(u"               NULL");
    } else {
        int n = 0;
        while (n < kCellUnitCapacity && cell[n] != nullptr)
            ++n;
        lines.push_back(Line(u"Number on Tile=", n));
    }
    return lines;
}

void DrawDeveloperPanel()
{
    DrawLines(DeveloperPanelLines(), kPanelX, kPanelY);
    DrawTargetLines();
}

void DrawUnitDebugLines()
{
    DrawLines(UnitDebugLines(), kUnitDebugX, kUnitDebugY);
}
