#pragma once
// The command line: "+name value" pairs.
#include <cstdint>
#include <string>

constexpr int CMDLINE_MAX_PAIRS = 20;
constexpr std::size_t CMDLINE_MAX_PART = 199; // longest name or value
constexpr std::uint16_t DEFAULT_NET_PORT = 20005;

// The network start the command line asks for; made only when it asks to host, join or connect.
struct TNetStartInfo {
    std::uint32_t mode = 2;             // 0 host, 1 join
    std::u16string name = u"Error";     // player name
    char16_t address[280] = {};         // empty for host
    std::uint16_t port = DEFAULT_NET_PORT;
};

extern TNetStartInfo* g_pNetStart;
extern std::uint8_t g_bEditorMenu;  // the main menu's editor/gallery entry opens the editor
extern std::uint8_t g_HardLevel;    // difficulty override 0..3
// "+zbufclear", "+radeon" and "+trench" set the map's own options (map/static_layer.h,
// map/trench_pieces.h).

// Message boxes go through this hook so that tests can read them (title, text).
using MessageBoxHook = void (*)(const char* title, const char* text);
void SetCommandLineMessageBox(MessageBoxHook hook);

// false: the command line is unusable (the caller shows "Command line fatal error").
bool ParseCommandLine(const char* text);
// Forgets what a previous parse set (flags back to their start values, the network record freed).
void ResetCommandLine();
