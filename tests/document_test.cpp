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
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "platform/fieldinput.h"
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
        const std::string text = platform::decodeCatalogueText(base.bytes);
        if (!platform::isValidUtf8(base.bytes) || base.bytes.starts_with("\xEF\xBB\xBF")) continue;
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

// The text lines of a catalogue, decoded.
std::vector<std::string> textLines(const std::string& bytes) {
    std::vector<std::string> lines(1);
    const std::string text = platform::decodeCatalogueText(bytes);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

struct Edit {
    const char* what;
    std::function<void(Fields&)> apply;
    int headerField = 0;  // the one header field edited, if only one: all other lines stay as they were
};

const Edit Edits[] = {
    {"title with a comma", [](Fields& f) { f.title = "Collection, second edition"; }, 3},
    {"subtitle with a quote", [](Fields& f) { f.subtitle = "12\" disc"; }, 4},
    {"subtitle with blanks", [](Fields& f) { f.subtitle = "\t spaced out "; }, 4},
    {"publisher over two lines", [](Fields& f) { f.publisher = "Sample\r\nPublishing"; }, 0},
    {"date emptied", [](Fields& f) { f.date.clear(); }, 6},
    {"euro sign", [](Fields& f) { f.title = "Price 5 \u20ac"; }, 3},
    {"letters beyond Windows-1252", [](Fields& f) { f.title = "\u03a9mega \U0001F4BF"; }, 0},
    {"flag", [](Fields& f) { f.documentFlags[3] = f.documentFlags[3] == 1 ? 0 : 1; }, 8},
    {"flags and colours",
     [](Fields& f) {
         f.documentFlags = {0, 2, -1, 1, 9223372036854775807};
         f.colours[0] = std::int32_t(0x8000000F);
         f.colours[8] = 255;
     },
     0},
    {"description with a comma", [](Fields& f) { f.entries.front().description = "Small, fast, and free."; },
     0},
    {"names and texts like the end marker",
     [](Fields& f) {
         f.entries.front().name = "<<";
         f.entries.front().command = "<<";
         f.entries.back().description = "<<";
     },
     0},
    {"every text emptied",
     [](Fields& f) {
         f.title = f.subtitle = f.publisher = f.date = "";
         for (Entry& e : f.entries) e.name = e.command = e.folder = e.description = "";
     },
     0},
    {"size", [](Fields& f) { f.entries.back().size = -5; }, 0},
    {"entry added",
     [](Fields& f) {
         f.entries.push_back({"New, improved", 2147483647, "run.exe", "new", ""});
     },
     0},
    {"entry added first",
     [](Fields& f) {
         f.entries.insert(f.entries.begin(), {"First", 1, "a", "b", "c"});
     },
     0},
    {"first entry removed",
     [](Fields& f) {
         if (f.entries.size() > 1) f.entries.erase(f.entries.begin());
     },
     0},
    {"last entry removed",
     [](Fields& f) {
         if (f.entries.size() > 1) f.entries.pop_back();
     },
     0},
    {"last entry moved first",
     [](Fields& f) { std::rotate(f.entries.begin(), f.entries.end() - 1, f.entries.end()); }, 0},
    {"entries reversed and one duplicated",
     [](Fields& f) {
         std::reverse(f.entries.begin(), f.entries.end());
         f.entries.push_back(f.entries.front());
     },
     0},
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

            if (edit.headerField != 0 && d.writtenEncoding() == d.encoding()) {
                std::vector<std::string> before = textLines(sample.bytes), after = textLines(written);
                ASSERT_EQ(before.size(), after.size());
                const int line = d.lineOfHeaderField(edit.headerField);
                for (std::size_t i = 0; i < before.size(); ++i) {
                    if (int(i) + 1 != line) {
                        EXPECT_EQ(before[i], after[i]) << "line " << i + 1;
                    }
                }
            }
        }
    }
}

}  // namespace
