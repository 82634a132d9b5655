#pragma once
// The catalogue's fields, in file order, in one table: the header fields, then for each entry the
// entry fields. The reader reads them in this order, the document writes them back by it, the
// editor shows them and the checker names the field of each finding by it. A field is added with a
// row here, a member in Module1 (what the menu reads) and in Fields (what a publisher edits), and
// its use; the counts, places and conversions follow from the table.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

namespace catalogue {

struct Entry {
    std::string name;
    std::int32_t size = 0;
    std::string command, folder, description;
    friend bool operator==(const Entry&, const Entry&) = default;
};

// The fields a publisher edits, by name. Flags and colours keep their raw values as in Module1.
struct Fields {
    std::string title, subtitle, publisher, date;
    std::array<std::int64_t, 5> documentFlags{};  // slots 1..4 as Module1::DocumentFlags
    std::array<std::int32_t, 9> colours{};
    std::vector<Entry> entries;  // 1 to MaxEntries
    friend bool operator==(const Fields&, const Fields&) = default;
};

namespace fields {

enum class Kind {
    Ignored,    // free text that nothing reads (the first two fields)
    Text,       // a text in the tables and in Fields
    Flag,       // a document flag: any number, only exactly 1 is on
    Colour,     // a 32-bit colour value
    LeadIn,     // read and dropped, whatever it holds
    Number,     // an entry's 32-bit number (its size)
    Separator,  // after an entry: the end marker "<<" or anything else, which promises another entry
};

struct HeaderField {
    Kind kind;
    const char* name;   // for messages, without article; " (field N)" follows but for Ignored fields
    const char* key;    // a name for programs (the editor's object names)
    const char* blank;  // its line in a new catalogue (Document::blank)
    int slot = 0;       // Flag: the document flag slot (1 to 4); Colour: the colour slot (0 to 8)
    std::string Module1::*table = nullptr;  // Text: where the reader puts it
    std::string Fields::*edited = nullptr;  // Text: where a publisher edits it
};

// Header fields 1 to 20, in file order.
inline constexpr HeaderField Header[] = {
    {Kind::Ignored, "first field (free text, ignored)", "free1",
     "discmenu catalogue (contents.inf) for the start-up menu of a medium"},
    {Kind::Ignored, "second field (free text, ignored)", "free2",
     "One field per line in the order that the catalogue format in discmenu's README gives"},
    {Kind::Text, "title", "title", "New Software Collection", 0, &Module1::Title, &Fields::title},
    {Kind::Text, "subtitle", "subtitle", "First Edition", 0, &Module1::Subtitle, &Fields::subtitle},
    {Kind::Text, "publisher", "publisher", "Publisher", 0, &Module1::Publisher, &Fields::publisher},
    {Kind::Text, "date", "date", "", 0, &Module1::Date, &Fields::date},
    {Kind::Flag, "readme button flag", "readmeButton", "0", 1},
    {Kind::Flag, "licence button flag", "licenseButton", "0", 3},
    {Kind::Flag, "readme at start-up flag", "readmeAtStart", "0", 2},
    {Kind::Flag, "licence at start-up flag", "licenseAtStart", "0", 4},
    // New catalogues: a light grey window, white on navy labels, black on white or light grey boxes.
    {Kind::Colour, "colour for the window background", "colour0", "12632256", 0},
    {Kind::Colour, "colour for the label background", "colour1", "8388608", 1},
    {Kind::Colour, "colour for the label text", "colour2", "16777215", 2},
    {Kind::Colour, "colour for the program list background", "colour3", "16777215", 3},
    {Kind::Colour, "colour for the program list text", "colour4", "0", 4},
    {Kind::Colour, "colour for the size box background", "colour5", "12632256", 5},
    {Kind::Colour, "colour for the size box text", "colour6", "0", 6},
    {Kind::Colour, "colour for the description box background", "colour7", "16777215", 7},
    {Kind::Colour, "colour for the description box text", "colour8", "0", 8},
    {Kind::LeadIn, "lead-in of the program list", "leadIn", ">>"},
};
inline constexpr int HeaderCount = int(std::size(Header));

struct EntryField {
    Kind kind;
    const char* name;   // for messages: "<name> of entry N"
    const char* blank;  // its line in the one entry of a new catalogue (Document::blank)
    std::array<std::string, ProgramSlots> Module1::*table = nullptr;  // Text: where the reader puts it
    std::string Entry::*edited = nullptr;                             // Text: where a publisher edits it
};

// The fields of each entry, in file order; the separator comes last.
inline constexpr EntryField EntryFields[] = {
    {Kind::Text, "name", "New Program", &Module1::ProgramName, &Entry::name},
    {Kind::Number, "size", "0"},
    {Kind::Text, "command line", "setup.exe", &Module1::ProgramCommand, &Entry::command},
    {Kind::Text, "folder", "program", &Module1::ProgramFolder, &Entry::folder},
    {Kind::Text, "description", "", &Module1::ProgramDescription, &Entry::description},
    {Kind::Separator, "separator", "<<"},  // the end marker, after the only entry
};
inline constexpr int EntryCount = int(std::size(EntryFields));

// The entry fields by role, as their index in EntryFields.
enum EntryRole : int { Name, Size, Command, Folder, Description, Separator };
static_assert(EntryFields[Size].kind == Kind::Number && EntryFields[Separator].kind == Kind::Separator);

// The index in Header of the field of `kind` with `slot` (the first Text field is slot 0, and so
// on), or -1.
constexpr int headerIndex(Kind kind, int slot = 0) {
    for (int i = 0, texts = 0; i < HeaderCount; ++i) {
        if (Header[i].kind != kind) continue;
        if (kind == Kind::Flag || kind == Kind::Colour ? Header[i].slot == slot : texts++ == slot) return i;
    }
    return -1;
}

// Where a field stands among the file's fields, counted from 0 in file order: the header fields,
// then EntryCount per entry. Negative: no field (a finding on the file as a whole).
struct Place {
    int index = -1;

    static constexpr Place header(int i) { return {i}; }
    // Field `role` of entry `n` (1-based).
    static constexpr Place entry(int n, int role) { return {HeaderCount + (n - 1) * EntryCount + role}; }

    constexpr bool known() const { return index >= 0; }
    constexpr bool inHeader() const { return index >= 0 && index < HeaderCount; }
    // The entry (1-based) the field belongs to; 0 for a header field or none.
    constexpr int entryNumber() const {
        return index >= HeaderCount ? (index - HeaderCount) / EntryCount + 1 : 0;
    }
    // Its role in the entry (EntryRole); -1 for a header field or none.
    constexpr int role() const { return index >= HeaderCount ? (index - HeaderCount) % EntryCount : -1; }
    friend constexpr bool operator==(Place, Place) = default;
};

// Spelt out for messages: "title (field 3)", "second field (free text, ignored)".
inline std::string describeHeader(int i) {
    const HeaderField& f = Header[i];
    if (f.kind == Kind::Ignored) return f.name;
    return std::string(f.name) + " (field " + std::to_string(i + 1) + ")";
}

// What the reader read, as a publisher edits it: the header fields before `knownFields` (all by
// default) and the first `entries` entries. The texts are moved out of `m`.
inline Fields fieldsFromTables(Module1& m, int entries, int knownFields = HeaderCount) {
    Fields f;
    for (int i = 0; i < HeaderCount && i < knownFields; ++i) {
        const HeaderField& h = Header[i];
        switch (h.kind) {
            case Kind::Text:
                f.*h.edited = std::move(m.*h.table);
                break;
            case Kind::Flag:
                f.documentFlags[std::size_t(h.slot)] = m.DocumentFlags[std::size_t(h.slot)];
                break;
            case Kind::Colour:
                f.colours[std::size_t(h.slot)] = m.ColourTable[std::size_t(h.slot)];
                break;
            default:
                break;
        }
    }
    f.entries.reserve(std::size_t(entries));
    for (int n = 1; n <= entries && n <= MaxEntries; ++n) {
        Entry e;
        for (const EntryField& field : EntryFields) {
            if (field.kind == Kind::Text) e.*field.edited = std::move((m.*field.table)[std::size_t(n)]);
        }
        e.size = m.ProgramSize[std::size_t(n)];
        f.entries.push_back(std::move(e));
    }
    return f;
}

// The tables the menu would read for `f` (at most MaxEntries entries), as the reader fills them;
// the lines are left 0.
inline Module1 tablesFromFields(const Fields& f) {
    Module1 m;
    for (const HeaderField& h : Header) {
        switch (h.kind) {
            case Kind::Text:
                m.*h.table = f.*h.edited;
                break;
            case Kind::Flag:
                m.DocumentFlags[std::size_t(h.slot)] = f.documentFlags[std::size_t(h.slot)];
                break;
            case Kind::Colour:
                m.ColourTable[std::size_t(h.slot)] = f.colours[std::size_t(h.slot)];
                break;
            default:
                break;
        }
    }
    m.ProgramCount = std::min(int(f.entries.size()), MaxEntries);
    for (int n = 1; n <= m.ProgramCount; ++n) {
        const Entry& e = f.entries[std::size_t(n - 1)];
        for (const EntryField& field : EntryFields) {
            if (field.kind == Kind::Text) (m.*field.table)[std::size_t(n)] = e.*field.edited;
        }
        m.ProgramSize[std::size_t(n)] = e.size;
    }
    return m;
}

}  // namespace fields
}  // namespace catalogue
