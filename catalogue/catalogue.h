#pragma once
// The catalogue "contents.inf": its tables and the procedure that reads them. No GUI; failures are
// returned as values, never reported or acted upon here.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace catalogue {

inline constexpr int MaxEntries = 201;    // slots 1 to 201
inline constexpr int ProgramSlots = 202;  // slot 0 is never used
inline constexpr char CatalogueFileName[] = "contents.inf";
inline constexpr char EndMarker[] = "<<";

// Something the menu tolerates but a publisher will want to know about. The menu ignores these;
// the catalogue checker reports them.
struct Note {
    enum class Kind {
        NotANumber,       // a numeric field with no number in it, read as 0
        TrailingContent,  // something after the end marker (never read)
    };
    Kind kind;
    int line = 0;
    std::string text;  // a short description, e.g. `size of entry 3 "-" holds no number`
    int field = -1;    // the field it concerns, as fields::Place counts them; -1: none
};

// The module-level tables, filled in file order. All text is UTF-8.
struct Module1 {
    // Header texts (fields 3 to 6).
    std::string Title, Subtitle, Publisher, Date;

    // Slot 1: readme button, 2: readme at start-up, 3: licence button, 4: licence at start-up.
    // The raw value is kept; only exactly 1 means on (see flagOn).
    std::array<std::int64_t, 5> DocumentFlags{};
    std::array<std::int32_t, 9> ColourTable{};

    std::array<std::string, ProgramSlots> ProgramName;
    std::array<std::int32_t, ProgramSlots> ProgramSize{};
    std::array<std::string, ProgramSlots> ProgramCommand;
    std::array<std::string, ProgramSlots> ProgramFolder;
    std::array<std::string, ProgramSlots> ProgramDescription;
    int ProgramCount = 0;

    // Where things stand in the file, for messages: the line of each entry's name (slot n), of
    // each colour (slot 0 to 8), and of each flag (slot 1 to 4).
    std::array<int, ProgramSlots> EntryLine{};
    std::array<int, 9> ColourLine{};
    std::array<int, 5> FlagLine{};
    int EndMarkerLine = 0;

    std::vector<Note> Notes;

    bool flagOn(int slot) const { return DocumentFlags.at(slot) == 1; }
};

struct Error {
    enum class Kind {
        FileNotFound,      // no catalogue file
        CannotRead,        // it exists but cannot be read (a folder, no permission, I/O error)
        UnexpectedEnd,     // the file ends while a field is still expected
        TooManyEntries,    // a 202nd entry
        NumberOutOfRange,  // a number that does not fit its field
        BrokenText,        // a UTF-16 file with a broken character (unpaired surrogate, odd byte count)
    };
    Kind kind;
    std::string file;  // as named to the user, e.g. "contents.inf"
    int line = 0;      // 0 when no line applies (missing file)
    std::string what;  // what went wrong and what was expected, without file and line
    int field = -1;    // the field it stopped at, as fields::Place counts them; -1: none (no file,
                       // no field)

    // "contents.inf, line 27: the file ends before the end marker "<<" of the program list"
    std::string message() const;
};

using Result = std::variant<Module1, Error>;

// Reads a catalogue from its bytes. `fileName` only names the file in messages.
Result readCatalogue(std::string_view bytes, std::string_view fileName = CatalogueFileName);

// The same, for a file the reader may refuse: `tables` (which must be empty) keeps every field read
// before the failure, and `failedField` is the place, counting the file's fields from 0 in order, of
// the field that failed (the end marker's place that a 202nd entry takes, the separator that the
// file ends after, or, where the file ends while a field is expected, the number of fields it
// holds). Nothing when the catalogue reads.
std::optional<Error> readCatalogueInto(std::string_view bytes, std::string_view fileName, Module1& tables,
                                       int& failedField);

// Opens and reads a catalogue file, named by its path in UTF-8. `displayName` names it in messages.
Result loadCatalogue(const std::string& file, std::string_view displayName = CatalogueFileName);

}  // namespace catalogue
