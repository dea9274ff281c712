#pragma once
// Drawing the game's frame and changing the display: the screen mode, lost surfaces, and rebuilding
// every display and input device around the films.
//
// Threads: main thread only; the present step takes g_InputLock (the mouse thread moves the cursor).
#include <cstdint>
#include <functional>

// Draws and presents one frame of the game screen.
void RenderFrame();
// Switches to a usable display mode (an unusable index means mode 0) and rebuilds what depends on
// the screen size. true also when nothing had to change; false (logged) when the 3-D device or
// the input device did not come back.
bool ChangeScreenMode(std::uint8_t mode);
// Brings back lost surfaces and redraws. Always true.
bool RestoreAllSurfaces();
// Rebuilds the display, 3-D and input devices; presentationMode 1 copies the finished back buffer
// to the screen, any other value flips. false after logging the failing step.
bool RecreateDevices(std::uint8_t presentationMode);

// The network stall: the cycle gate raises the flag when the cycle did not advance; while it is
// raised the world effects and the map drawing are skipped, for at most four frames.
extern std::uint8_t g_bNetStall;
extern std::uint8_t g_NetStallFrames;
// The cell under the mouse, recomputed every frame.
extern std::uint16_t g_MouseCellX;
extern std::uint16_t g_MouseCellY;
// Developer switches: the debug panel and the unit-debug lines.
extern std::uint8_t g_bDebugPanel;
extern std::uint8_t g_bUnitDebug;

// What the frame calls in subsystems built elsewhere. The default table binds the modules that
// exist; tests put recording stand-ins here.
struct TFrameServices {
    // Interface.
    std::function<bool()> PanelWantsUpdate;
    std::function<void(std::uint8_t dropWindowFirst)> UpdateInterfacePanel;
    std::function<void()> DrawTextEntries;
    std::function<void()> DrawButtonBar;
    std::function<void()> DrawResourceBar;
    std::function<void()> DrawAllWindows;
    std::function<void()> HideShowGroupWindow;
    std::function<void()> CentreGameMenu;
    std::function<void()> PlaceEditorToolbar;
    // The minimap and its frame.
    std::function<void()> DrawMiniMap;
    std::function<void()> FreeMiniMapFrame;
    std::function<void()> LoadMiniMapFrame;
    // Effects.
    std::function<void()> AddHouseFires;
    std::function<void()> UpdateExplosions;
    std::function<void()> DrawUnitFires;
    // The local player's selection drag and picked object.
    std::function<void()> DrawSelection;
    // The range ring around the local player's selected firing building.
    std::function<void()> DrawSelectedHouseRing;
    std::function<void()> DrawShipSelectionRings;
    // The developer panel's and unit-debug lines' numbers that other subsystems keep.
    std::function<void()> DrawDeveloperPanel;
    std::function<void()> DrawUnitDebugLines;
    // Device start-up and release around the films.
    std::function<void()> ParticlesFree;
    std::function<bool()> ParticlesInit;
    std::function<void()> FreeHouseSelTexture;
    std::function<void()> LoadHouseSelTexture;
    std::function<bool()> UnitInit;
    std::function<void()> MakeMainMenu;
    std::function<bool()> CloseAllWindows;
    std::function<bool()> Direct3DInit;
    std::function<bool()> DirectInputInit;
};
TFrameServices& FrameServices();
TFrameServices DefaultFrameServices();

// The stall rule of one frame: counts a raised flag and clears it on the fifth frame; outside a
// network game both stay 0. Returns whether this frame skips the world.
bool StepNetStall(bool netGame);
