#include "game/command_line.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/error_log.h"
#include "map/static_layer.h"
#include "map/trench_pieces.h"
#include "platform/window.h"
#include "platform/text.h"

TNetStartInfo* g_pNetStart = nullptr;
std::uint8_t g_bEditorMenu = 0;
std::uint8_t g_HardLevel = 0;

namespace {

void DefaultMessageBox(const char* title, const char* text)
{
    plat::ShowMessageBox(title, text);
}

MessageBoxHook g_MessageBox = DefaultMessageBox;

struct Pair {
    std::string name;
    std::string value;
};

const char kUsage[] = "Unknown format command line. Use: Korvela.exe +param_type1 param1 +param_type2_param2";

const Pair* FindPair(const std::vector<Pair>& pairs, const char* name)
{
    for (const auto& p : pairs)
        if (plat::CompareNoCase(p.name, name) == 0)
            return &p;
    return nullptr;
}

} // namespace

void SetCommandLineMessageBox(MessageBoxHook hook)
{
    g_MessageBox = hook ? hook : DefaultMessageBox;
}

void ResetCommandLine()
{
    delete g_pNetStart;
    g_pNetStart = nullptr;
    g_bEditorMenu = g_HardLevel = g_bZBufClear = g_bRadeon = g_bTrench = 0;
    g_bNetStart = 0;
    g_bPlayVideo = 1;
}

bool ParseCommandLine(const char* text)
{
    if (!text || !*text)
        return true;
    const std::string line = text;
    std::vector<Pair> pairs;
    std::size_t pos = 0;
    bool tooLong = false;
    while (pairs.size() < CMDLINE_MAX_PAIRS) {
        const std::size_t plus = line.find('+', pos);
        if (plus == std::string::npos)
            break;
        const std::size_t blank = line.find(' ', plus + 1);
        if (blank == std::string::npos)
            break;
        Pair p;
        p.name = line.substr(plus + 1, blank - plus - 1);
        std::size_t end = line.find_first_of(" +", blank + 1);
        if (end == std::string::npos)
            end = line.size();
        p.value = line.substr(blank + 1, end - blank - 1);
        if (p.name.size() > CMDLINE_MAX_PART || p.value.size() > CMDLINE_MAX_PART)
            tooLong = true;
        pairs.push_back(std::move(p));
        pos = end;
    }
    if (tooLong || pairs.empty()) {
        g_MessageBox("Error", kUsage);
        return false;
    }

    if (const Pair* p = FindPair(pairs, "video"))
        g_bPlayVideo = p->value != "0";
    if (const Pair* p = FindPair(pairs, "editor"))
        g_bEditorMenu = p->value != "0";
    if (const Pair* p = FindPair(pairs, "hardlevel"))
        g_HardLevel = p->value == "1" ? 1 : p->value == "2" ? 2 : p->value == "3" ? 3 : 0;
    if (const Pair* p = FindPair(pairs, "zbufclear"))
        g_bZBufClear = p->value != "0";
    if (const Pair* p = FindPair(pairs, "radeon"))
        g_bRadeon = p->value == "1";
    if (const Pair* p = FindPair(pairs, "trench"))
        g_bTrench = p->value != "0";

    const Pair* ini = FindPair(pairs, "ini");
    const Pair* host = FindPair(pairs, "host");
    const Pair* join = FindPair(pairs, "join");
    const Pair* connect = FindPair(pairs, "connect");
    if (!ini && !host && !join && !connect)
        return true;
    if (ini) {
        g_bNetStart = 1;
        g_bPlayVideo = 0;
        return true;
    }
    const Pair* name = FindPair(pairs, "name");
    if (!name) {
        if (host)
            g_MessageBox("Error", "Missing parametr name for host in command line");
        else if (join)
            g_MessageBox("Error", "Missing parametr name in command line for join");
        else
            g_MessageBox("Error", "Missing parametr name in command line for connect");
        return false;
    }
    delete g_pNetStart;
    g_pNetStart = new TNetStartInfo;
    g_pNetStart->mode = host ? 0 : 1;
    g_pNetStart->port = DEFAULT_NET_PORT;
    if (const Pair* port = FindPair(pairs, "port")) {
        // A port that is not a number of 1..65535 would otherwise wrap round to some other port.
        char* end = nullptr;
        const unsigned long value = std::strtoul(port->value.c_str(), &end, 10);
        if (end != port->value.c_str() && *end == 0 && value >= 1 && value <= 65535)
            g_pNetStart->port = static_cast<std::uint16_t>(value);
        else
            ReportError2("Wrong port in command line, the default is used: ", port->value);
    }
    g_pNetStart->name = plat::Cp1251ToUtf16(name->value);
    if (g_pNetStart->mode == 1)
        plat::CopyW(g_pNetStart->address, 280, plat::Cp1251ToUtf16(connect ? connect->value : join->value));
    g_bNetStart = 1;
    g_bPlayVideo = 0;
    return true;
}
