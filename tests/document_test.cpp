// The catalogue document: every catalogue the tests have, in every encoding and line-end style, is
// written back byte for byte when nothing changed, and reads back as edited when something did.
#include "catalogue/document.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "catalogue/fieldinput.h"
#include "testcatalogue.h"

namespace {

using catalogue::Document;
using catalogue::Encoding;
using catalogue::Entry;
using catalogue::Fields;

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string joined(const QStringList& lines, const char* eol) {
    std::string text;
    for (const QString& line : lines) text += line.toStdString() + eol;
    return text;
}

std::string utf16(std::string_view utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String()) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

// Every line end of `text` replaced by the next of `ends`, in turn.
std::string withLineEnds(std::string_view text, std::vector<std::string> ends) {
    std::string out;
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ends[n++ % ends.size()];
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Sample {
    std::string name, bytes;
};

// The catalogues to go round: the sample medium's, the fuzz seeds that read, and catalogues built
// as the window tests build them; each also as UTF-8 with a byte-order mark, UTF-16 in both byte
// orders, and with CR LF, CR alone and mixed line ends.
std::vector<Sample> samples() {
    std::vector<Sample> bases;
    const std::filesystem::path source = DISCMENU_SOURCE_DIR;
    bases.push_back({"sample-cd", fileBytes(source / "examples/sample-cd/contents.inf")});
    std::vector<std::filesystem::path> seeds;
    for (const auto& file : std::filesystem::directory_iterator(source / "fuzz/corpus"))
        seeds.push_back(file);
    std::sort(seeds.begin(), seeds.end());
    for (const auto& seed : seeds) bases.push_back({seed.filename().string(), fileBytes(seed)});

    testcatalogue::Catalogue built = testcatalogue::Catalogue::withEntries(3);
    built.title = "Caf\u00e9, \"Deluxe\"";
    built.entries[1].description = " padded, with commas ";
    built.separator = "-- next --";
    bases.push_back({"testcatalogue", joined(built.lines(), "\n")});
    testcatalogue::Catalogue one;
    one.entries.append({"<<", "0", "<<", "", "<<"});
    one.leadIn = "<<";
    bases.push_back({"testcatalogue-one", joined(one.lines(), "\n")});

    std::vector<Sample> out;
    for (const Sample& base : bases) {
        if (std::holds_alternative<catalogue::Error>(Document::read(base.bytes))) continue;
        out.push_back(base);
        const std::string text = catalogue::decodeCatalogueText(base.bytes);
        if (!catalogue::isValidUtf8(base.bytes) || base.bytes.starts_with("\xEF\xBB\xBF")) continue;
        out.push_back({base.name + " (UTF-8 BOM, CR LF)", "\xEF\xBB\xBF" + withLineEnds(text, {"\r\n"})});
        out.push_back({base.name + " (UTF-16 LE, CR LF)", utf16(withLineEnds(text, {"\r\n"}), false)});
        out.push_back({base.name + " (UTF-16 BE, CR)", utf16(withLineEnds(text, {"\r"}), true)});
        out.push_back({base.name + " (mixed line ends)", withLineEnds(text, {"\n", "\r", "\r\n"})});
        // CR then LF: an empty field edited there must not join the two into one line end. (A
        // catalogue with an empty line there already reads differently.)
        Sample alternating{base.name + " (CR and LF in turn)", withLineEnds(text, {"\r", "\n"})};
        const auto fieldsOf = [](const std::string& bytes) {
            auto result = Document::read(bytes);
            return std::holds_alternative<Document>(result) ? std::get<Document>(result).fields() : Fields{};
        };
        if (fieldsOf(alternating.bytes) == fieldsOf(base.bytes)) out.push_back(alternating);
    }
    return out;
}

Document readDocument(const std::string& bytes) {
    auto result = Document::read(bytes);
    if (auto* error = std::get_if<catalogue::Error>(&result)) {
        ADD_FAILURE() << error->message();
        return Document::blank();
    }
    return std::get<Document>(std::move(result));
}

struct Edit {
    const char* what;
    std::function<void(Fields&)> apply;
};

const Edit Edits[] = {
    {"title with a comma", [](Fields& f) { f.title = "Collection, second edition"; }},
    {"subtitle with a quote", [](Fields& f) { f.subtitle = "12\" disc"; }},
    {"subtitle with blanks", [](Fields& f) { f.subtitle = "\t spaced out "; }},
    {"publisher over two lines", [](Fields& f) { f.publisher = "Sample\r\nPublishing"; }},
    {"date emptied", [](Fields& f) { f.date.clear(); }},
    {"euro sign", [](Fields& f) { f.title = "Price 5 \u20ac"; }},
    {"letters beyond Windows-1252", [](Fields& f) { f.title = "\u03a9mega \U0001F4BF"; }},
    {"flag", [](Fields& f) { f.documentFlags[3] = f.documentFlags[3] == 1 ? 0 : 1; }},
    {"flags and colours",
     [](Fields& f) {
         f.documentFlags = {0, 2, -1, 1, 9223372036854775807};
         f.colours[0] = std::int32_t(0x8000000F);
         f.colours[8] = 255;
     }},
    {"description with a comma", [](Fields& f) { f.entries.front().description = "Small, fast, and free."; }},
    {"names and texts like the end marker",
     [](Fields& f) {
         f.entries.front().name = "<<";
         f.entries.front().command = "<<";
         f.entries.back().description = "<<";
     }},
    {"every text emptied",
     [](Fields& f) {
         f.title = f.subtitle = f.publisher = f.date = "";
         for (Entry& e : f.entries) e.name = e.command = e.folder = e.description = "";
     }},
    {"size", [](Fields& f) { f.entries.back().size = -5; }},
    {"entry added",
     [](Fields& f) {
         f.entries.push_back({"New, improved", 2147483647, "run.exe", "new", ""});
     }},
    {"entry added first",
     [](Fields& f) {
         f.entries.insert(f.entries.begin(), {"First", 1, "a", "b", "c"});
     }},
    {"first entry removed",
     [](Fields& f) {
         if (f.entries.size() > 1) f.entries.erase(f.entries.begin());
     }},
    {"last entry removed",
     [](Fields& f) {
         if (f.entries.size() > 1) f.entries.pop_back();
     }},
    {"last entry moved first",
     [](Fields& f) { std::rotate(f.entries.begin(), f.entries.end() - 1, f.entries.end()); }},
    {"entries reversed and one duplicated",
     [](Fields& f) {
         std::reverse(f.entries.begin(), f.entries.end());
         f.entries.push_back(f.entries.front());
     }},
};

TEST(Document, WritesEveryCatalogueBackAsItWasAndAsEdited) {
    const std::vector<Sample> all = samples();
    ASSERT_GE(all.size(), 100u);
    for (const Sample& sample : all) {
        SCOPED_TRACE(sample.name);
        const Document read = readDocument(sample.bytes);
        EXPECT_TRUE(read.write() == sample.bytes) << "not written back byte for byte";
        for (const Edit& edit : Edits) {
            SCOPED_TRACE(edit.what);
            Document d = read;
            Fields fields = d.fields();
            edit.apply(fields);
            d.setFields(fields);
            if (fields.entries.size() > catalogue::MaxEntries) {
                EXPECT_EQ(d.problems(),
                          std::vector<std::string>{"the catalogue holds 202 entries; at most 201 fit"});
                continue;
            }
            ASSERT_EQ(d.problems(), std::vector<std::string>());
            const std::string written = d.write();
            auto again = catalogue::readCatalogue(written);
            ASSERT_TRUE(std::holds_alternative<catalogue::Module1>(again))
                << std::get<catalogue::Error>(again).message() << "\n"
                << written;
            EXPECT_TRUE(readDocument(written).fields() == fields) << written;

            // The lines of the fields, as the reader counts them.
            const auto& m = std::get<catalogue::Module1>(again);
            const int count = int(fields.entries.size());
            for (int n = 1; n <= count; ++n) EXPECT_EQ(d.lineOfEntryField(n, 0), m.EntryLine[n]) << n;
            EXPECT_EQ(d.lineOfEntryField(count, 5), m.EndMarkerLine);
            for (int slot = 0; slot < 9; ++slot)
                EXPECT_EQ(d.lineOfHeaderField(11 + slot), m.ColourLine[slot]);
            EXPECT_EQ(d.lineOfHeaderField(8), m.FlagLine[3]);

            // The encoding stays, unless Windows-1252 cannot hold a new character.
            const bool keeps = d.encoding() != Encoding::Windows1252 ||
                               std::string(edit.what) != "letters beyond Windows-1252";
            EXPECT_EQ(d.writtenEncoding() == d.encoding(), keeps);
        }
    }
}

// A catalogue with several fields on a line, a quoted text with something after its closing quote,
// number notations and text after the end marker.
const std::string Plain =
    "a\nb\nT\nS\nP\nD\n1\n1\n0\n0\n1,2,3,4,5,6,7,8,9\n>>\nOne\n100\nsetup.exe\none\n\"First, entry\"  "
    "junk\n--\n"
    "Two\n&H10\ns2\ntwo\nd2\n--\nThree\n300 Kb\ns3\nthree\nd3\n<<\nafter\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? "(" + from + " not found)" : text.replace(at, from.size(), to);
}

TEST(Document, ChangesOnlyWhatWasEdited) {
    const std::string body3 = "Three\n300 Kb\ns3\nthree\nd3\n";
    const std::pair<std::function<void(Fields&)>, std::string> cases[] = {
        {[](Fields& f) { f.colours[2] = 255; }, replaced(Plain, "1,2,3,4", "1,2,255,4")},
        {[](Fields& f) { f.documentFlags[2] = 5; }, replaced(Plain, "1\n0\n0\n1,", "1\n5\n0\n1,")},
        {[](Fields& f) { f.title = "A, B"; }, replaced(Plain, "\nT\n", "\n\"A, B\"\n")},
        {[](Fields& f) { f.entries[0].description = "Plain"; },
         replaced(Plain, "\"First, entry\"  junk", "Plain")},
        {[](Fields& f) { f.entries[1].name = "<<"; }, replaced(Plain, "Two", "<<")},
        {[](Fields& f) { f.entries.erase(f.entries.begin() + 1); },
         replaced(Plain, "Two\n&H10\ns2\ntwo\nd2\n--\n", "")},
        {[](Fields& f) { f.entries.pop_back(); }, replaced(Plain, "--\n" + body3, "")},
        {[](Fields& f) {
             f.entries.push_back({"Four", 4, "s4", " four", ""});
         },
         replaced(Plain, body3, body3 + "--\nFour\n4\ns4\n\" four\"\n\n")},
        {[](Fields& f) { std::rotate(f.entries.begin(), f.entries.end() - 1, f.entries.end()); },
         replaced(replaced(Plain, "--\n" + body3, ""), "One\n", body3 + "--\nOne\n")},
    };
    const Document read = readDocument(Plain);
    for (const auto& [apply, expected] : cases) {
        Document d = read;
        Fields fields = d.fields();
        apply(fields);
        d.setFields(fields);
        EXPECT_EQ(d.write(), expected);
    }
    // A field emptied between a CR and an LF is written "", or the two would make one line end.
    Document d = readDocument(replaced(Plain, "T\nS\n", "T\rS\n"));
    Fields fields = d.fields();
    fields.subtitle.clear();
    d.setFields(fields);
    EXPECT_EQ(d.write(), replaced(Plain, "T\nS\n", "T\r\"\"\n"));
}

TEST(Document, KeepsOrLeavesWindows1252) {
    // "Café" in Windows-1252 (E9), and a description that holds C3 A9, which is "Ã©" there.
    const std::string file = replaced(replaced(Plain, "\nT\n", "\nCaf\xE9\n"), "d2", "\xC3\xA9");
    struct Case {
        std::string subtitle, title;
        Encoding written;
        std::string bytes;  // the subtitle's line as written
    };
    const Case cases[] = {
        {"5 \u20ac", "Caf\u00e9", Encoding::Windows1252, "5 \x80"},
        {"\u03a9", "Caf\u00e9", Encoding::Utf8Bom, "\xCE\xA9"},  // no Omega in Windows-1252
        {"S", "Cafe", Encoding::Utf8Bom, "S"},  // the rest alone would read as UTF-8, "é" for "Ã©"
    };
    for (const Case& c : cases) {
        Document d = readDocument(file);
        ASSERT_EQ(d.encoding(), Encoding::Windows1252);
        Fields fields = d.fields();
        ASSERT_EQ(fields.entries[1].description, "\u00c3\u00a9");
        fields.subtitle = c.subtitle;
        fields.title = c.title;
        d.setFields(fields);
        EXPECT_EQ(d.writtenEncoding(), c.written);
        EXPECT_EQ(d.write().starts_with("\xEF\xBB\xBF"), c.written == Encoding::Utf8Bom);
        EXPECT_NE(d.write().find("\n" + c.bytes + "\n"), std::string::npos);
        EXPECT_TRUE(readDocument(d.write()).fields() == fields) << c.subtitle;
    }
}

TEST(Document, NamesWhatCannotBeWrittenAndKeepsTheRestInPlace) {
    const std::pair<std::function<void(Fields&)>, std::string> cases[] = {
        {[](Fields& f) { f.title = "a, \"b\""; },
         "the title holds a comma, so it must be written between double quotes, and a double quote, which "
         "would end it there; it cannot hold both"},
        {[](Fields& f) { f.entries[1].description = "two\nlines \"quoted\""; },
         "the description of entry 2 holds a line break, so it must be written between double quotes, and a "
         "double quote, which would end it there; it cannot hold both"},
        {[](Fields& f) { f.entries[2].command = "\"setup.exe\" /q"; },
         "the command line of entry 3 begins with a double quote, which the catalogue reads as the start of "
         "a quoted text; it cannot be written"},
        {[](Fields& f) { f.date = "1999\xFF"; }, "the date is not valid UTF-8 text"},
        {[](Fields& f) { f.entries.clear(); }, "the catalogue holds no entries; it needs at least one"},
    };
    for (const auto& [apply, problem] : cases) {
        Document d = readDocument(Plain);
        Fields fields = d.fields();
        apply(fields);
        d.setFields(fields);
        EXPECT_EQ(d.problems(), std::vector<std::string>{problem});
        auto again = catalogue::readCatalogue(d.write());
        if (fields.entries.empty()) {
            ASSERT_TRUE(std::holds_alternative<catalogue::Error>(again));
            EXPECT_EQ(std::get<catalogue::Error>(again).message(),
                      "contents.inf, line 12: the file ends where the name of entry 1 was expected");
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<catalogue::Module1>(again)) << d.write();
        const auto& m = std::get<catalogue::Module1>(again);
        EXPECT_EQ(std::tuple(m.Subtitle, m.ProgramCount, m.ProgramName[3], m.ColourTable[8]),
                  std::tuple("S", 3, "Three", 9));
    }
}

TEST(Document, WritesANewCatalogueForBothSystems) {
    Document d = Document::blank();
    const std::string bytes = d.write();
    EXPECT_EQ(d.encoding(), Encoding::Utf8Bom);
    EXPECT_TRUE(
        bytes.starts_with("\xEF\xBB\xBF"
                          "discmenu catalogue"));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 26);
    EXPECT_EQ(d.fields().entries.size(), 1u);
    EXPECT_TRUE(d.problems().empty());
    EXPECT_EQ(std::tuple(d.lineOfHeaderField(3), d.lineOfEntryField(1, 0), d.lineOfEntryField(1, 5)),
              std::tuple(3, 21, 26));
}

// A catalogue the reader refuses opens with what could be read, the field it stopped at as it
// stands in the file, and every other byte kept: saved unmended it loses nothing; mended, it is the
// file with that field (and the fields edited) replaced, and reads.
TEST(Document, OpensARefusedCatalogueAndMendsIt) {
    struct Case {
        const char* name;
        std::function<void(QStringList&)> breakIt;
        std::string at, faulty, mended;  // the field stopped at, after `at` in the file
        int line;                        // its line (0: not checked)
        std::size_t entriesRead;
        bool editable, endsList;
    };
    const Case cases[] = {
        {"bad number", [](QStringList& l) { l[27] = "20000000000"; }, "Program 2\n", "20000000000", "200", 28,
         3, true, false},
        {"bad colour", [](QStringList& l) { l[12] = "167772150000"; }, "16711680\n", "167772150000",
         "16777215", 13, 3, true, false},
        {"missing end marker", [](QStringList& l) { l.removeLast(); }, "program 3.\n", "", "<<", 0, 3, true,
         true},
        {"end marker mistyped", [](QStringList& l) { l.last() = "<"; }, "program 3.\n", "<", "<<", 38, 3,
         true, true},
        {"too many entries", {}, "Description of program 201.\n", ">>", "<<", 1226, 201, true, true},
        {"closing quote missing", [](QStringList& l) { l[30] = "\"Description of program 2."; }, "program2\n",
         "\"Description of program 2.", "\"Description of program 2.\"", 31, 1, true, false},
        {"closing quote missing in the title", [](QStringList& l) { l[2] = "\"Sample Software Collection"; },
         "(ignored)\n", "\"Sample Software Collection", "\"Sample Software Collection\"", 3, 0, false, false},
    };
    for (const Case& c : cases) {
        for (const bool utf16le : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (utf16le ? " (UTF-16 LE, CR LF)" : ""));
            const auto encoded = [&](const std::string& text) {
                return utf16le ? utf16(withLineEnds(text, {"\r\n"}), false) : text;
            };
            testcatalogue::Catalogue catalogue =
                testcatalogue::Catalogue::withEntries(c.breakIt ? 3 : catalogue::MaxEntries + 1);
            QStringList lines = catalogue.lines();
            if (c.breakIt) c.breakIt(lines);
            const std::string broken = joined(lines, "\n");
            const std::size_t faultAt = broken.find(c.at + c.faulty) + c.at.size();
            ASSERT_NE(faultAt, std::string::npos + c.at.size());

            Document d = Document::open(encoded(broken));
            ASSERT_TRUE(d.refusal());
            const auto refused = catalogue::readCatalogue(encoded(broken));
            ASSERT_TRUE(std::holds_alternative<catalogue::Error>(refused));
            EXPECT_EQ(d.refusal()->error.message(), std::get<catalogue::Error>(refused).message());
            EXPECT_EQ(d.refusal()->fieldText, c.faulty);
            if (c.line) {
                EXPECT_EQ(d.refusal()->line, c.line);
            }
            EXPECT_EQ(d.refusal()->fieldsEditable, c.editable);
            EXPECT_EQ(d.refusal()->endsList, c.endsList);
            EXPECT_EQ(d.fields().entries.size(), c.entriesRead);
            EXPECT_EQ(d.fields().title, c.editable ? "Sample Software Collection" : "");

            // The publisher's edit of a field that was read.
            std::string edited = broken;
            std::size_t fault = faultAt;
            if (c.editable) {
                Fields fields = d.fields();
                fields.publisher += " Ltd";
                d.setFields(fields);
                edited.insert(edited.find("Sample Publishing") + 17, " Ltd");
                fault += 4;
            }
            std::string unmended = edited;
            if (c.endsList) unmended.insert(fault, "<<\n");
            EXPECT_EQ(d.write(), encoded(unmended));
            if (c.endsList) {
                // The list ends where the menu stopped; everything after it is kept, unread.
                const Document saved = Document::open(d.write());
                EXPECT_FALSE(saved.refusal());
                EXPECT_EQ(saved.fields().entries.size(), c.entriesRead);
            }

            d.setRefusedText(c.mended);
            EXPECT_TRUE(d.problems().empty());
            std::string mended = edited;
            mended.replace(fault, c.faulty.size(), c.mended);
            EXPECT_EQ(d.write(), encoded(mended));
            const Document saved = Document::open(d.write());
            ASSERT_FALSE(saved.refusal()) << saved.refusal()->error.message();
            EXPECT_EQ(saved.fields().publisher, c.editable ? "Sample Publishing Ltd" : "Sample Publishing");
            EXPECT_EQ(saved.fields().entries.size(), c.breakIt ? 3u : 201u);
        }
    }
}

// A file that cannot be decoded keeps its bytes and cannot be written over from the editor.
TEST(Document, KeepsAFileThatCannotBeDecoded) {
    const std::string broken(
        "\xFF\xFE"
        "a\0,\0\x00\xD8",
        8);  // UTF-16 with an unpaired surrogate
    Document d = Document::open(broken);
    ASSERT_TRUE(d.refusal());
    EXPECT_EQ(d.refusal()->error.kind, catalogue::Error::Kind::BrokenText);
    EXPECT_EQ(d.write(), broken);
    ASSERT_EQ(d.problems().size(), 1u);
}

}  // namespace
