#pragma once
// A computer player's build template: up to 100 levels, each a MUST list (what the player must
// have before it moves on) and a MAY list (what it may add once the level is passed), with the
// player's progress through it. The game reads the binary form ("tmpl"); the text form is the
// authoring form the converter tool turns into it.
//
// Threads: main thread only (the computer player that owns the template).
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int TEMPLATE_MAX_LEVELS = 100;
// Entry kinds.
constexpr std::uint16_t TEMPLATE_UNIT = 1;
constexpr std::uint16_t TEMPLATE_HOUSE = 2;
constexpr std::uint16_t TEMPLATE_UPGRADE = 3;
// Bytes of one entry in the binary form.
constexpr std::size_t TEMPLATE_ENTRY_SIZE = 6;
// The file the computer players load.
inline constexpr const char* TEMPLATE_FILE_NAME = "Data\\Template4.tpl";

struct TTemplateEntry {
    // TEMPLATE_UNIT, TEMPLATE_HOUSE or TEMPLATE_UPGRADE; only the low byte means anything.
    std::uint16_t Kind = 0;
    // Unit type (0..39) or building type (0..24); 0 for an upgrade.
    std::uint16_t Type = 0;
    // Number of units or buildings; the upgrade identifier for an upgrade.
    std::uint16_t Count = 0;
    bool operator==(const TTemplateEntry&) const = default;
};

struct TTemplateLevel {
    std::vector<TTemplateEntry> Must;
    std::vector<TTemplateEntry> May;
};

class TTemplate {
public:
    // The binary form. A missing file logs, a wrong magic is refused quietly, a malformed file
    // (more than 100 levels, cut short, an unknown kind, a type outside the type tables) logs;
    // every refusal leaves no levels and gives false.
    bool LoadTemplateFromBinaryFile(const char* name);
    bool LoadTemplateFromBinary(const std::uint8_t* data, std::size_t size);
    // The text form: the level count, then per level words up to "MUST", CREATE_UNIT /
    // CREATE_BUILDING / CREATE_UPGRADE entries with two numbers each, a word beginning with "MAY"
    // and "NEW_LEVEL". Brace comments are skipped and keywords compared without regard to case.
    // Any other word, a missing number or keyword, or a value out of range refuses the file.
    bool LoadTemplateFromFile(const char* name);
    bool LoadTemplateFromText(const char* text, std::size_t size);
    // Writes the binary form; the previous file survives a failed write.
    bool SaveTemplateToFile(const char* name) const;
    std::vector<std::uint8_t> ToBinary() const;
    // Frees every list and forgets the levels.
    void FreeTemplate();
    // Frees the lists and keeps the level count (a saved game's copy is read into them next).
    void ReleaseTemplateLists();

    const std::vector<TTemplateEntry>& MustList(int level) const { return m_Levels[level].Must; }
    const std::vector<TTemplateEntry>& MayList(int level) const { return m_Levels[level].May; }
    std::uint16_t MustCount(int level) const { return static_cast<std::uint16_t>(m_Levels[level].Must.size()); }
    std::uint16_t MayCount(int level) const { return static_cast<std::uint16_t>(m_Levels[level].May.size()); }
    TTemplateLevel& Level(int level) { return m_Levels[level]; }

    std::uint8_t LevelCount = 0;
    // Equal to LevelCount once the template is finished.
    std::uint8_t CurrentLevel = 0;
    // The entry of the current level's MUST list the computer player looks at next.
    std::uint16_t Cursor = 0;

private:
    TTemplateLevel m_Levels[TEMPLATE_MAX_LEVELS];
};

class TIfStreamMemory;
class TOfStreamMemory;
// One list of the binary form: u16 count, then the 6-byte entries. The reader refuses a list cut
// short or an entry IsValidTemplateEntry refuses.
bool ReadTemplateList(TIfStreamMemory& in, std::vector<TTemplateEntry>& list);
void WriteTemplateList(TOfStreamMemory& out, const std::vector<TTemplateEntry>& list);

// Whether an entry names a kind and a type the game's tables hold.
bool IsValidTemplateEntry(const TTemplateEntry& entry);
