#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <variant>
#include <vector>

#include "catalogue/fields.h"

namespace {

using catalogue::Error;
using catalogue::Module1;
using catalogue::Note;
using Lines = std::vector<std::string>;

// Fields 1 to 20 of a plain catalogue, one per line.
Lines header() {
    return {"any text (ignored)",
            "any text (ignored)",
            "Sample Software Collection",
            "Spring Edition",
            "Sample Publishing",
            "1 March 1999",
            "1",
            "1",
            "0",
            "0",
            "12632256",
            "16711680",
            "16777215",
            "16777215",
            "0",
            "12632256",
            "0",
            "12632256",
            "0",
            ">>"};
}

Lines entry(const std::string& name, const std::string& separator) {
    return {name, "1200", "setup.exe", "editor", "A small text editor.", separator};
}

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string join(const Lines& lines, const char* eol = "\n") {
    std::string text;
    for (const auto& line : lines) text += line + eol;
    return text;
}

// How a publisher's editor saved the catalogue: UTF-8, or UTF-16 behind its byte-order mark.
enum class Encoding { Utf8, Utf16Le, Utf16Be };
constexpr Encoding Encodings[] = {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be};

std::u16string utf16Units(std::string_view utf8) {
    std::u16string units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) c = c << 6 | (utf8[i + k] & 0x3F);
        i += length;
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return units;
}

std::string utf16Bytes(const std::u16string& units, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

std::string saved(const std::string& text, Encoding encoding) {
    if (encoding == Encoding::Utf8) return text;
    return utf16Bytes(utf16Units(text), encoding == Encoding::Utf16Be);
}

Module1 load(const std::string& text) {
    auto result = catalogue::readCatalogue(text);
    if (auto* error = std::get_if<Error>(&result)) ADD_FAILURE() << error->message();
    return std::holds_alternative<Module1>(result) ? std::get<Module1>(std::move(result)) : Module1{};
}

std::string failure(const std::string& text, Error::Kind kind) {
    auto result = catalogue::readCatalogue(text);
    if (!std::holds_alternative<Error>(result)) return "read without error";
    EXPECT_EQ(std::get<Error>(result).kind, kind);
    return std::get<Error>(result).message();
}

TEST(Catalogue, ReadsFieldsInOrderIntoTheirSlots) {
    Lines lines = header() + entry("Text Editor", "<<");
    const char* flags[] = {"11", "13", "12", "14"};  // file order fills slots 1, 3, 2, 4
    std::copy(std::begin(flags), std::end(flags), lines.begin() + 6);
    for (int i = 0; i < 9; ++i) lines[10 + i] = std::to_string(100 + i);
    const Module1 m = load(join(lines));
    EXPECT_EQ((Lines{m.Title, m.Subtitle, m.Publisher, m.Date}), Lines(lines.begin() + 2, lines.begin() + 6));
    EXPECT_EQ(m.DocumentFlags, (std::array<std::int64_t, 5>{0, 11, 12, 13, 14}));
    EXPECT_EQ(m.FlagLine, (std::array{0, 7, 9, 8, 10}));
    EXPECT_EQ(m.ColourTable, (std::array<std::int32_t, 9>{100, 101, 102, 103, 104, 105, 106, 107, 108}));
    EXPECT_EQ(m.ColourLine, (std::array{11, 12, 13, 14, 15, 16, 17, 18, 19}));
    EXPECT_EQ((Lines{m.ProgramName[1], std::to_string(m.ProgramSize[1]), m.ProgramCommand[1],
                     m.ProgramFolder[1], m.ProgramDescription[1]}),
              Lines(lines.begin() + 20, lines.begin() + 25));
    EXPECT_EQ(std::tuple(m.ProgramCount, m.EntryLine[1], m.EndMarkerLine, m.Notes.size()),
              std::tuple(1, 21, 26, 0u));
}

TEST(Catalogue, ReadsTheSameWhetherOneOrSeveralFieldsPerLine) {
    const Lines cards = {"Card Game", "800", "install.exe", "cards", "\"Cards, solitaire\"", "<<"};
    const std::pair<std::string, int> cases[] = {
        {join(header() + entry("Same", ">>") + entry("Same", ">>") + cards), 38},
        {"x, y\r\nSample Software Collection,Spring Edition, Sample Publishing,1 March 1999\r\n1,1,0,0\r\n"
         "12632256,16711680,16777215,16777215,0,12632256,0,12632256,0, >>\r\n"
         "Same,1,a,b,c,>>\rSame, 1200, setup.exe, editor, A small text editor., >>\n"
         "Card Game,800,install.exe,cards,\"Cards, solitaire\",<<",
         7},
    };
    for (const auto& [text, endMarkerLine] : cases) {
        for (const Encoding encoding : Encodings) {
            const Module1 m = load(saved(text, encoding));
            EXPECT_EQ(m.Title, "Sample Software Collection");
            EXPECT_EQ(m.ProgramCount, 3);
            EXPECT_EQ(m.ProgramName[1] + m.ProgramName[2] + m.ProgramName[3], "SameSameCard Game");
            EXPECT_EQ(m.ProgramSize[3], 800);
            EXPECT_EQ(m.ProgramDescription[3], "Cards, solitaire");
            EXPECT_EQ(m.ColourTable[1], 16711680);
            EXPECT_EQ(m.EndMarkerLine, endMarkerLine);
        }
    }
}

TEST(Catalogue, OnlyExactlyTheEndMarkerEndsTheList) {
    struct Case {
        const char *leadIn, *separator;
        int count;
    };
    const Case cases[] = {{"<<", "<<", 1},  // the lead-in never ends the list
                          {">>", ">>", 2},  {">>", "x", 2},       {">>", "", 2},       {">>", "<<<", 2},
                          {">>", "< <", 2}, {">>", "\"<< \"", 2}, {">>", "  <<  ", 1}, {">>", "\"<<\"", 1}};
    for (const auto& c : cases) {
        Lines lines = header() + entry("One", c.separator) + entry("Two", "<<");
        lines[19] = c.leadIn;
        const Module1 m = load(join(lines));
        EXPECT_EQ(m.ProgramCount, c.count) << c.separator;
        EXPECT_EQ(m.ProgramName[2], c.count == 2 ? "Two" : "") << c.separator;
    }
}

TEST(Catalogue, Holds201EntriesButNot202) {
    Lines lines = header();
    for (int n = 1; n <= 201; ++n) lines = lines + entry("P" + std::to_string(n), n == 201 ? "<<" : ">>");
    const Module1 m = load(join(lines));
    EXPECT_EQ(std::tuple(m.ProgramCount, m.ProgramName[201], m.EntryLine[201]),
              std::tuple(201, "P201", 1221));

    lines.back() = ">>";
    EXPECT_EQ(failure(join(lines + entry("P202", "<<")), Error::Kind::TooManyEntries),
              "contents.inf, line 1227: a 202nd entry begins here; a catalogue holds at most 201 entries");
}

TEST(Catalogue, ReportsWhereATruncatedFileEnds) {
    const Lines full = header() + entry("One", ">>") + entry("Two", "<<");
    const std::pair<int, std::string> cases[] = {
        {0,
         "the file holds no fields; a catalogue begins with two fields of free text, then the title, "
         "subtitle, publisher and date"},
        {1, "the file ends where the second field (free text, ignored) was expected"},
        {7, "the file ends where the licence button flag (field 8) was expected"},
        {10, "the file ends where the colour for the window background (field 11) was expected"},
        {19, "the file ends where the lead-in of the program list (field 20) was expected"},
        {22, "the file ends where the command line of entry 1 was expected"},
        {25, "the file ends before the end marker \"<<\" of the program list"},
        {26,
         "the file ends where the name of entry 2 was expected (the separator on line 26 is not the "
         "end marker \"<<\")"},
        {30, "the file ends where the description of entry 2 was expected"},
    };
    for (const auto& [kept, what] : cases) {
        for (const char* eol : {"\n", "\r\n"}) {
            for (const Encoding encoding : Encodings) {
                EXPECT_EQ(failure(saved(join(Lines(full.begin(), full.begin() + kept), eol), encoding),
                                  Error::Kind::UnexpectedEnd),
                          "contents.inf, line " + std::to_string(std::max(kept, 1)) + ": " + what);
            }
        }
    }
}

TEST(Catalogue, RefusesBrokenUtf16) {
    // The catalogue as UTF-16 code units with a change at `line` (an existing line, or one past
    // the end), from one field per line.
    struct Case {
        int line;
        std::u16string units;  // put at the start of the line
        bool oddByte;          // a byte left over at the end of the file
        const char* what;
    };
    const Case cases[] = {
        {25,
         {0xD83D},
         false,
         "holds a broken character here: the high surrogate D83D is not followed by a low "
         "surrogate (DC00 to DFFF)"},
        {3,
         {0xDE00},
         false,
         "holds a broken character here: the low surrogate DE00 does not follow a high "
         "surrogate (D800 to DBFF)"},
        {27,
         {},
         true,
         "its text breaks off here in the middle of a character: the file holds an odd number of "
         "bytes, where UTF-16 has two bytes to each character"},
    };
    for (const Case& c : cases) {
        for (const bool bigEndian : {false, true}) {
            // A size out of range on line 22 too: the broken text is named first, wherever it stands.
            Lines lines = header() + entry("One", "<<");
            lines[21] = "99999999999";
            std::u16string units;
            for (int line = 1; line <= int(lines.size()); ++line) {
                if (line == c.line) units += c.units;
                units += utf16Units(lines[line - 1] + "\r\n");
            }
            std::string bytes = utf16Bytes(units, bigEndian);
            if (c.oddByte) bytes += 'x';
            EXPECT_EQ(failure(bytes, Error::Kind::BrokenText),
                      "contents.inf, line " + std::to_string(c.line) + ": the file is UTF-16 " +
                          (bigEndian ? "big endian (byte-order mark FE FF)"
                                     : "little endian (byte-order mark FF FE)") +
                          ", but " + c.what);
        }
    }
}

TEST(Catalogue, ChecksNumberRanges) {
    struct Case {
        int line;  // one field per line, so also the field number
        const char* text;
        std::int64_t stored;  // for accepted values
        const char* error;    // empty when accepted
    };
    const Case cases[] = {
        {7, "1", 1, ""},
        {7, "300", 300, ""},
        {7, "99999999999999999999999", std::numeric_limits<std::int64_t>::max(), ""},
        {11, "2147483653", std::int32_t(0x80000005), ""},
        {11, "&H80000005", std::int32_t(0x80000005), ""},
        {11, "-2147483648", -2147483648, ""},
        {11, "4294967296", 0,
         "the colour for the window background (field 11) is 4294967296, outside the range -2147483648 to "
         "4294967295"},
        {22, "40960", 40960, ""},
        {22, "-5", -5, ""},
        {22, "2147483648", 0,
         "the size of entry 1 is 2147483648, outside the range -2147483648 to 2147483647"},
        {22, "99999999999999999999", 0,
         "the size of entry 1 is \"99999999999999999999\", outside the range -2147483648 to 2147483647"},
    };
    for (const auto& c : cases) {
        Lines lines = header() + entry("One", "<<");
        lines[c.line - 1] = c.text;
        if (*c.error) {
            EXPECT_EQ(failure(join(lines), Error::Kind::NumberOutOfRange),
                      "contents.inf, line " + std::to_string(c.line) + ": " + c.error);
            continue;
        }
        const Module1 m = load(join(lines));
        const std::int64_t stored = c.line == 7    ? m.DocumentFlags[1]
                                    : c.line == 11 ? m.ColourTable[0]
                                                   : m.ProgramSize[1];
        EXPECT_EQ(stored, c.stored) << c.text;
        EXPECT_EQ(m.flagOn(1), c.line != 7 || c.stored == 1) << c.text;
    }
}

TEST(Catalogue, NotesWhatThePublisherShouldKnow) {
    Lines lines = header() + entry("One", ">>") + entry("Two", "<<");
    lines[22 - 1] = "-";
    lines[9 - 1] = "yes";
    lines[12 - 1] = "blue";
    const Module1 m = load(join(lines) + "\n  \nmore text\n");
    const Note expected[] = {
        {Note::Kind::NotANumber, 9, "readme at start-up flag (field 9) (\"yes\") holds no number; read as 0"},
        {Note::Kind::NotANumber, 12,
         "colour for the label background (field 12) (\"blue\") holds no number; read as 0"},
        {Note::Kind::NotANumber, 22, "size of entry 1 (\"-\") holds no number; read as 0"},
        {Note::Kind::TrailingContent, 35, "text after the end marker \"<<\" on line 32 is never read"},
    };
    ASSERT_EQ(m.Notes.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(std::tie(m.Notes[i].kind, m.Notes[i].line, m.Notes[i].text),
                  std::tie(expected[i].kind, expected[i].line, expected[i].text));
    }
    EXPECT_EQ(load(join(lines) + "\n \t\n").Notes.size(), 3u);  // blank lines are not content
}

TEST(Catalogue, LoadsAFileFromAFolder) {
    const auto dir = std::filesystem::path(testing::TempDir()) / "catalogue_test_folder";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto file = dir / "contents.inf";
    const auto loadError = [&]() -> std::optional<Error> {
        auto result = catalogue::loadCatalogue(file);
        if (auto* error = std::get_if<Error>(&result)) return *error;
        return std::nullopt;
    };

    auto missing = loadError();
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->kind, Error::Kind::FileNotFound);
    EXPECT_EQ(missing->message(), "contents.inf: the file does not exist in the folder " + dir.string() +
                                      " (a catalogue named \"contents.inf\" was expected)");
    std::filesystem::create_directory(file);
    auto folder = loadError();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, Error::Kind::CannotRead);
    std::filesystem::remove(file);

    // The bytes arrive as written: CR LF line ends and a Windows-1252 title.
    Lines lines = header() + entry("One", "<<");
    lines[2] = "Caf\xE9";
    std::ofstream(file, std::ios::binary) << join(lines, "\r\n");
    auto result = catalogue::loadCatalogue(file);
    ASSERT_TRUE(std::holds_alternative<Module1>(result)) << std::get<Error>(result).message();
    EXPECT_EQ(std::get<Module1>(result).Title, "Caf\xC3\xA9");

    // Saved by Notepad as "Unicode": UTF-16 little endian.
    lines[2] = "Caf\xC3\xA9 \xF0\x9F\x92\xBF";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << saved(join(lines, "\r\n"), Encoding::Utf16Le);
    result = catalogue::loadCatalogue(file);
    ASSERT_TRUE(std::holds_alternative<Module1>(result)) << std::get<Error>(result).message();
    EXPECT_EQ(std::get<Module1>(result).Title, lines[2]);
    std::filesystem::remove_all(dir);
}

}  // namespace

// The field table orders the reader: each header field has its row, names its messages, and the
// notes and errors carry the field they concern, counted as fields::Place counts.
TEST(Catalogue, NotesAndErrorsCarryTheirField) {
    namespace fields = catalogue::fields;
    using fields::Place;
    ASSERT_EQ(fields::HeaderCount, int(header().size()));
    ASSERT_EQ(fields::EntryCount, int(entry("One", "<<").size()));
    EXPECT_EQ(fields::describeHeader(fields::headerIndex(fields::Kind::Flag, 2)),
              "readme at start-up flag (field 9)");
    EXPECT_EQ(fields::describeHeader(fields::headerIndex(fields::Kind::Text, 3)), "date (field 6)");
    EXPECT_EQ(fields::describeHeader(fields::headerIndex(fields::Kind::Colour, 8)),
              "colour for the description box text (field 19)");

    const Lines full = header() + entry("One", ">>") + entry("Two", "<<");
    struct Case {
        int line;          // the line changed (one field per line), 0: none
        const char* text;  // what it holds then
        int kept;          // the lines kept (0: all)
        Place field;       // of the note or the error
    };
    const Case cases[] = {
        {9, "yes", 0, Place::header(8)},                  // note: flag without a number
        {28, "-", 0, Place::entry(2, fields::Size)},      // note: size without a number
        {11, "4294967296", 0, Place::header(10)},         // error: colour out of range
        {0, "", 29, Place::entry(2, fields::Folder)},     // error: ends where the folder belongs
        {0, "", 26, Place::entry(1, fields::Separator)},  // error: a separator promised entry 2
        {0, "", 31, Place::entry(2, fields::Separator)},  // error: ends before the end marker
        {0, "", 0, Place{}},                              // read, no note
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Lines lines = c.kept ? Lines(full.begin(), full.begin() + c.kept) : full;
        if (c.line) lines[std::size_t(c.line - 1)] = c.text;
        const auto result = catalogue::readCatalogue(join(lines));
        if (const auto* error = std::get_if<Error>(&result)) {
            EXPECT_EQ(error->field, c.field.index) << error->message();
            Module1 partial;
            int failed = -1;
            ASSERT_TRUE(catalogue::readCatalogueInto(join(lines), "contents.inf", partial, failed));
            EXPECT_EQ(failed, c.field.index);
        } else {
            const auto& notes = std::get<Module1>(result).Notes;
            EXPECT_EQ(notes.empty() ? -1 : notes.front().field, c.field.index);
        }
    }
    // A broken character stops the file as a whole.
    const auto broken = catalogue::readCatalogue(std::string("\xFF\xFE", 2) + std::string(1, 'a'));
    ASSERT_TRUE(std::holds_alternative<Error>(broken));
    EXPECT_EQ(std::get<Error>(broken).field, -1);
}

// The tables and the fields a publisher edits convert into each other by the table, every field
// to its own place: distinct values survive the round trip.
TEST(Catalogue, TablesAndFieldsConvertByTheTable) {
    Lines lines = header() + entry("One", ">>") + entry("Two", "<<");
    for (int i = 0; i < catalogue::fields::HeaderCount; ++i) {
        if (catalogue::fields::Header[i].kind != catalogue::fields::Kind::Ignored)
            lines[i] = std::to_string(100 + i);
    }
    lines[21] = "7";  // size of entry 1
    lines[27] = "8";
    Module1 read = load(join(lines));
    const Module1 copy = read;
    const catalogue::Fields f = catalogue::fields::fieldsFromTables(read, copy.ProgramCount);
    EXPECT_EQ(std::tuple(f.title, f.date, f.documentFlags, f.colours[8], f.entries.size(), f.entries[1].size),
              std::tuple("102", "105", std::array<std::int64_t, 5>{0, 106, 108, 107, 109}, 118, 2u, 8));
    const Module1 back = catalogue::fields::tablesFromFields(f);
    EXPECT_EQ(std::tie(back.Title, back.Subtitle, back.Publisher, back.Date, back.DocumentFlags,
                       back.ColourTable, back.ProgramCount, back.ProgramName, back.ProgramSize,
                       back.ProgramCommand, back.ProgramFolder, back.ProgramDescription),
              std::tie(copy.Title, copy.Subtitle, copy.Publisher, copy.Date, copy.DocumentFlags,
                       copy.ColourTable, copy.ProgramCount, copy.ProgramName, copy.ProgramSize,
                       copy.ProgramCommand, copy.ProgramFolder, copy.ProgramDescription));
}
