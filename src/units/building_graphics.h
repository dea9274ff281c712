#pragma once
// Building graphics: the reference-counted phases (finished building, construction stages, ruins)
// of a building type, loaded on demand by the loader thread and freed when the last building that
// shows them lets them go.
//
// Threads: a phase's pictures, depth data and texture are written by the loader thread while the
// phase's load state is PHASE_LOADING, and by the main thread only when no load is running. The
// load state is atomic: the main thread sets PHASE_LOADING before it queues the request, the loader
// thread stores PHASE_LOADED or PHASE_FAILED last (release), and the main thread reads the data only
// after it saw PHASE_LOADED (acquire). The reference count and everything else are main thread only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class THouseType;
class cIMg;
class cHMap;
struct TLoaderRequest;
namespace plat {
class Texture;
}

// What a building shows: the three phase states.
constexpr std::uint8_t HOUSE_STATE_FINISHED = 0;
constexpr std::uint8_t HOUSE_STATE_CONSTRUCTION = 1;
constexpr std::uint8_t HOUSE_STATE_RUIN = 2;

// Load states of a phase. PHASE_FAILED is final: the archive did not give the phase, nothing of it
// is kept, and nobody waits for it.
constexpr std::uint8_t PHASE_NOT_LOADED = 0;
constexpr std::uint8_t PHASE_LOADED = 1;
constexpr std::uint8_t PHASE_LOADING = 2;
constexpr std::uint8_t PHASE_FAILED = 3;

// The texture entry of a phase (archive entry phase code + 1): "HTEX", u16 width, u16 height,
// i16 x and y of the texture's top-left corner in the sprite, u32 reserved, then width x height
// ARGB 4444 pixels, rows top to bottom.
constexpr char HOUSE_TEXTURE_MAGIC[4] = {'H', 'T', 'E', 'X'};
constexpr int HOUSE_TEXTURE_HEADER = 16;
constexpr std::uint16_t HOUSE_TEXTURE_KEY = 0x0000; // fully transparent texels

// The archive entry of a phase: finished 0, construction stage v (v + 1) x 10, ruin v (v + 5) x 10;
// -1 for a state or variant that does not exist.
std::int32_t HousePhaseCode(std::uint8_t state, std::uint8_t variant);

struct THouseTextureInfo {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint32_t reserved = 0;
};

class CHousePhaseGraphic {
public:
    CHousePhaseGraphic() = default;
    ~CHousePhaseGraphic();
    CHousePhaseGraphic(const CHousePhaseGraphic&) = delete;
    CHousePhaseGraphic& operator=(const CHousePhaseGraphic&) = delete;

    void AddRef();
    // The last reference frees the phase's data (waiting for a running load first).
    void Release();
    // Queues the load of this phase (archive of `type`, entry `phaseCode`) when it is not loaded.
    void LoadPhase(THouseType* type, std::int32_t phaseCode, std::uint8_t visible, std::uint8_t priority);
    // Loads the pictures, depth data and texture; runs on the loader thread. Ends in PHASE_LOADED
    // or, logged and with nothing kept, PHASE_FAILED.
    bool LoadSprites(THouseType* type, std::int32_t phaseCode);
    // Waits while a load runs, then frees everything and returns to PHASE_NOT_LOADED.
    void WaitAndFree();
    // The loader dropped the request without running it: nothing was loaded, so the phase is
    // PHASE_NOT_LOADED again (a later use asks anew) and nobody waits for it.
    void LoadDropped();

    std::uint8_t State() const { return m_State.load(std::memory_order_acquire); }
    bool IsLoaded() const { return State() == PHASE_LOADED; }

    // Sets up a type's phases and opens its archive (the parameter loader calls this).
    static void Load(std::uint32_t slot, const char* name);
    // Frees a type's phases at unload (a borrowing type only forgets them).
    static void Free(THouseType& type);

    std::uint16_t m_RefCount = 0;
    cIMg* m_pPicture = nullptr;
    cIMg* m_pOverlay = nullptr;
    plat::Texture* m_pTexture = nullptr;
    THouseTextureInfo m_TextureInfo;
    std::uint16_t* m_pDepth = nullptr; // sprite width x height values (types with a raw depth kind)
    cHMap* m_pDepthMap = nullptr;      // types with HOUSE_DEPTH_SPAN_CODED
    std::atomic<std::uint8_t> m_State{PHASE_NOT_LOADED};
    std::uint8_t m_TextureFlag = 0;
    std::uint8_t m_OverlayFlag = 0;

private:
    void FreeData();
};

// The type's phase of a state and variant; null when it has none.
CHousePhaseGraphic* HousePhase(const THouseType& type, std::uint8_t state, std::uint8_t variant);
// The type whose archive holds a type's pictures (itself, or the type it borrows from).
THouseType* HouseArchiveType(THouseType* type);
// Whether a graphics name refers to another type ("NTT": N = side + 1, TT = type); fills side
// and type.
bool ParseBorrowedHouseName(const char* name, int& side, int& type);
// Parses a texture entry; false when it is malformed.
bool ParseHouseTexture(const std::uint8_t* data, std::uint32_t size, THouseTextureInfo& info,
                       const std::uint8_t*& pixels);

// What the building graphics call outside: tests put a controllable loader here.
struct THouseGraphicServices {
    std::function<void(std::unique_ptr<TLoaderRequest>)> request;
    std::function<void(std::uint32_t)> sleepMs;
    std::function<plat::Texture*(int width, int height)> createTexture;
    // Whether ports draw their water-side texture (the reflections setting).
    std::function<bool()> waterReflections;

    static THouseGraphicServices Default();
};
THouseGraphicServices& HouseGraphicServices();

// Takes a reference on the finished phase of a type for the local player's placement preview;
// ReleaseHousePhaseGraphic (map_objects.h) gives it back.
void AddRefHousePhaseGraphic(std::uint16_t type);
// The load state of that phase, asking for the load when it is not loaded.
std::uint8_t PlacementPhaseState(std::uint16_t type, std::uint8_t nation);
// The ghost of the placement preview: a display-format texture of the type's picture size, keyed
// magenta, with the loaded finished phase's picture drawn in it; null when the phase is not loaded
// or the texture cannot be made.
plat::Texture* MakeHousePlacementTexture(std::uint16_t type, std::uint8_t nation);
struct TPlacementGeometry;
// The type's picture size and offsets and its footprint bytes; false for a type that does not exist.
bool HousePlacementGeometry(std::uint16_t type, std::uint8_t nation, TPlacementGeometry& out);
