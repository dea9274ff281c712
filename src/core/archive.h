#pragma once
// Packed resource archives (".les": a directory of named entries whose bodies are zlib streams) in
// 1000 numbered slots, and compressed files (one zlib stream behind an 8-byte size header).
// Both readers hand back plain heap buffers that the caller parses with TIfStreamMemory.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

constexpr int LES_SLOT_COUNT = 1000;
// A directory never holds more entries than this; a header that declares more is refused.
constexpr std::uint32_t LES_MAX_ENTRIES = 1000;
constexpr int LES_HEADER_SIZE = 12;
constexpr int LES_ENTRY_SIZE = 48;
constexpr int LES_NAME_SIZE = 32; // zero-terminated, so at most 31 characters
constexpr int COMPRESSED_HEADER_SIZE = 8;

// Slot numbers belong to one kind of owner each, so the loader thread and the main thread never
// open or close the same slot at once.
constexpr int LES_SLOT_OBJECTS = 301;   // Data\Objects\Objects.les
constexpr int LES_SLOT_EDITOR = 302;    // Editor\Data\Editor.les
constexpr int LES_SLOT_ANIMATION = 303; // animation packs and craters, opened around each load
constexpr int LES_SLOT_INTERFACE = 305; // the interface archive in use
constexpr int LES_SLOT_EXPLOSION = 308; // one explosion type's sprites
constexpr int LES_SLOT_TRENCHES = 310;  // trench and pontoon graphics
constexpr int LES_SLOT_STAINS = 311;    // Data\Misc\BurntStains.les, Data\Interface\MapBevels.les
constexpr int LES_UNIT_NATIONS = 6;
constexpr int LES_UNIT_TYPES = 40;
constexpr int LES_HOUSE_SIDES = 6;
constexpr int LES_HOUSE_TYPES = 25;
// The archives of the fixed slots.
constexpr const char* LES_PATH_OBJECTS = "Data\\Objects\\Objects.les";
constexpr const char* LES_PATH_EDITOR = "Editor\\Data\\Editor.les";
constexpr const char* LES_PATH_INTERFACE = "Data\\Interface\\Interface.les";
constexpr const char* LES_PATH_INTERFACE_GROUP = "Data\\Interface\\InterfaceGroup.les";
constexpr const char* LES_PATH_UNIT_ICONS = "Data\\Interface\\Icons\\UnitsIcons.les";
constexpr const char* LES_PATH_MUSEUM = "Data\\Museum\\Pictures.les";
constexpr const char* LES_PATH_EDITOR_INTERFACE = "Editor\\Editor.les";
constexpr const char* LES_PATH_BURNT_STAINS = "Data\\Misc\\BurntStains.les";
constexpr const char* LES_PATH_MAP_BEVELS = "Data\\Interface\\MapBevels.les";
constexpr const char* LES_FOLDER_UNITS = "Data\\Units\\";             // + type name + ".les"
constexpr const char* LES_FOLDER_HOUSES = "Data\\Objects\\Houses\\"; // + type name + ".les"
constexpr const char* LES_FOLDER_EXPLOSIONS = "Data\\Misc\\Explo\\";  // + the type's file
// Data\Units\<type name>.les
constexpr int UnitGraphicsSlot(int nation, int typeIndex) { return typeIndex + 50 * nation; }
// Data\Objects\Houses\<type name>.les
constexpr int HouseGraphicsSlot(int side, int houseType) { return 400 + 50 * side + houseType; }

// One directory entry as stored (48 bytes on disk, read field by field).
struct TLesEntry {
    char name[LES_NAME_SIZE]; // lower case; always zero-terminated in memory
    std::uint16_t id;
    std::uint16_t reserved;
    std::uint32_t packedSize;
    std::uint32_t rawSize;
    std::uint32_t offset;
};

// Empties all slots. Called once at start-up, before any archive is opened. Always true.
bool ini_unpack();
// Opens the archive at path (a game path) into slot: false when the slot is taken (nothing changes),
// the slot number is out of range, the file cannot be read, or its header or directory is bad.
bool Load_LesHeader(std::uint32_t slot, const char* path);
// Reads and inflates one entry: by name (compared after lower-casing) or, with a null name, the first
// entry whose id equals id. Null when the slot is free, the entry is missing or its body is bad.
// The caller owns the buffer until FreeLesEntry; it may outlive the slot.
std::uint8_t* LoadLesEntry(std::uint32_t slot, const char* name, std::uint16_t id, std::uint32_t* rawSize);
void FreeLesEntry(void* buffer);
// Frees the slot's directory and path; a free slot is left alone.
void CloseLes(std::uint32_t slot);
// Closes every slot (shutdown).
void FreeLesSlots();
// The number of entries of the archive in slot (0 for a free slot).
std::uint32_t GetLesEntryCount(std::uint32_t slot);
// A copy of directory entry index of slot; false when there is none.
bool GetLesEntry(std::uint32_t slot, std::uint32_t index, TLesEntry& entry);

// Parses a 12-byte header and its directory from the start of an archive image. fileSize is the
// size of the whole file, used to refuse directories that cannot fit. Logs and returns false on a
// bad header.
bool ParseLesDirectory(std::span<const std::uint8_t> bytes, std::uint64_t fileSize, std::vector<TLesEntry>& entries,
                       const char* pathForLog);
// Inflates one zlib stream into a new buffer of rawSize bytes; outSize receives the length zlib
// produced. Null when the stream is bad, does not fit rawSize, or rawSize is more than any stream of
// packedSize bytes can give. FreeLesEntry / FreeCompressedFile free the result.
std::uint8_t* InflateBody(const std::uint8_t* packed, std::uint32_t packedSize, std::uint32_t rawSize,
                          std::uint32_t* outSize);

// Writes data as a compressed file; the previous file stays whole when anything fails. The
// declaration also stands in memory_stream.h, whose writer saves through it.
bool SaveCompressedFile(const char* path, const void* data, std::int32_t size);
// Reads a compressed file; rawSize receives the inflated size. Null when the file is missing or bad.
std::uint8_t* LoadCompressedFile(const char* path, std::uint32_t* rawSize);
// The same on a file image in memory.
std::uint8_t* LoadCompressedBuffer(std::span<const std::uint8_t> file, std::uint32_t* rawSize, const char* pathForLog);
void FreeCompressedFile(void* buffer);
