#pragma once
// The game's own UTF-16LE text files (they begin with FF FE): line readers, the player-name
// substitution table of Maps\PlayerNames.txt, and word wrapping to a pixel width.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TIfStreamMemory;

constexpr const char* PLAYER_NAMES_FILE = "Maps\\PlayerNames.txt";
constexpr int PLAYER_NAME_CAPACITY = 20;    // a map player's name, terminator included
constexpr int GETLINES_CAPACITY = 20000;    // what GetLinesToString accumulates at most
constexpr int GETLINE_CAPACITY = 10000;
constexpr int PLAYER_NAMES_MAX_LINE = 1999;
constexpr int WRAP_MAX_TEXT = 19999;        // longer texts are cut before wrapping

// Reads one line of 16-bit units up to CR or LF (a CR's following unit is dropped too) into buffer
// with its terminator. A line that does not fit is cut to capacity - 1 units and logged. Returns the
// number of units stored. The stream holds the file's bytes; a lone last byte counts as the end.
int GetLine(TIfStreamMemory& in, char16_t* buffer, int capacity);
// Joins lines (trailing blanks removed, each followed by CR LF when withLineEnds) until a line equal
// to stopLine, which is left unread. The result is cut to capacity - 1 units; returns its length.
int GetLinesToString(TIfStreamMemory& in, char16_t* out, int capacity, std::u16string_view stopLine,
                     bool withLineEnds);
// Checks and skips the FF FE sign at the start of a UTF-16 file.
bool SkipUtf16Sign(TIfStreamMemory& in);

class TChangePlayerName {
public:
    TChangePlayerName() = default;
    explicit TChangePlayerName(const char* fileName);
    ~TChangePlayerName();

    bool Load(const char* fileName);
    bool LoadFromBuffer(std::span<const std::uint8_t> bytes);
    // Replaces name (zero-terminated, capacity units of room) with its replacement when the table
    // lists it. A replacement that does not fit is cut to capacity - 1 units and logged.
    bool ChangePlayerName(char16_t* name, int capacity) const;
    // Parses "listed name # replacement" into a table entry.
    bool MakeNamesFromString(const char16_t* line, int length);

    const std::vector<std::u16string>& Names() const { return m_Names; }
    const std::vector<std::u16string>& NewNames() const { return m_NewNames; }

private:
    std::vector<std::u16string> m_Names;
    std::vector<std::u16string> m_NewNames;
};

// The name a map's player number ownIndex gets: a set map name goes through Maps\PlayerNames.txt
// within PLAYER_NAME_CAPACITY; an empty one becomes the text of "IDS_COMP1".."IDS_COMP8".
std::u16string MakeMapPlayerName(std::u16string_view mapName, int ownIndex);

struct TTextExtent {
    int cx = 0;
    int cy = 0;
};

// Measures texts in the font the caller has chosen; the display's font code provides one.
class TTextMeasurer {
public:
    virtual ~TTextMeasurer() = default;
    virtual TTextExtent Measure(std::u16string_view text) const = 0;
};

// Splits text into lines narrower than maxWidth, breaking after a blank, a full stop followed by a
// blank or an ideographic space, comma or full stop where one stands in the line, else inside the
// word. Stops (keeping the lines so far) when a line would need fewer than 2 characters or would
// pass maxHeight. No measurer or an empty text gives no lines.
std::vector<std::u16string> WrapTextToWidth(std::u16string_view text, int maxWidth, int maxHeight,
                                            const TTextMeasurer* measurer);
