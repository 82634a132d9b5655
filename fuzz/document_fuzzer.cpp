// libFuzzer target for the catalogue document: reading, editing and writing back.
//
// Whatever bytes a medium carries, the document reads them as the menu's reader does (the same
// tables or the same error); written back unedited it gives the same bytes, and read again the same
// fields. Then an edit derived from the input (texts, numbers, entries added, removed, moved) is
// applied: when problems() finds nothing to object to, the bytes written read back as exactly the
// fields edited, with every field on the line the document says; when only one field was edited,
// every line but that field's is kept. Every check traps when it fails, so libFuzzer keeps the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/document.h"
#include "catalogue/fieldinput.h"

#define CHECK(condition)                                                                                  \
    do {                                                                                                  \
        if (!(condition)) {                                                                               \
            std::fprintf(stderr, "document_fuzzer: check failed at line %d: %s\n", __LINE__, #condition); \
            __builtin_trap();                                                                             \
        }                                                                                                 \
    } while (false)

namespace {

using catalogue::Document;
using catalogue::Entry;
using catalogue::Fields;
using catalogue::Module1;

// A small generator of choices, seeded from the input so that every input has its own edit.
class Choices {
public:
    explicit Choices(std::string_view bytes) {
        for (const char c : bytes) state_ = (state_ ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    std::uint64_t next() {
        state_ ^= state_ >> 33;
        state_ *= 0xFF51AFD7ED558CCDu;
        state_ ^= state_ >> 33;
        return state_;
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : next() % n; }

private:
    std::uint64_t state_ = 1469598103934665603u;
};

// Texts that test the writer's quoting, or a piece of the input itself.
std::string someText(Choices& choose, std::string_view bytes) {
    static constexpr std::string_view texts[] = {
        "",
        "plain",
        "a, b",
        " lead",
        "trail\t",
        "12\" disc",
        "\"quoted\"",
        "<<",
        ">>",
        "line\r\nbreak",
        "cr\r",
        "\nlf",
        "\xE2\x82\xAC 5",
        "\xCE\xA9mega",
        "caf\xC3\xA9",
        "\xF0\x9F\x92\xBF",
        "&H10",
        "a,\"b",
    };
    if (bytes.empty() || choose.below(3) != 0) return std::string(texts[choose.below(std::size(texts))]);
    const std::size_t start = choose.below(bytes.size());
    return std::string(bytes.substr(start, choose.below(24)));
}

std::int64_t someNumber(Choices& choose) {
    static constexpr std::int64_t numbers[] = {0,
                                               1,
                                               2,
                                               -1,
                                               32767,
                                               32768,
                                               2147483647,
                                               -2147483647 - 1,
                                               static_cast<std::int64_t>(0x8000000F),
                                               9223372036854775807};
    return choose.below(2) ? numbers[choose.below(std::size(numbers))]
                           : static_cast<std::int64_t>(choose.next());
}

// Where one field was edited, for the check that nothing else changed.
struct OneField {
    int header = 0;            // header field 3 to 19
    int entry = 0, field = 0;  // or entry (1-based) and field 0 to 4
};

// Applies one to three edits; says which field when it was exactly one field of the header or of
// an entry that stays in place.
OneField edit(Fields& f, Choices& choose, std::string_view bytes) {
    const std::size_t edits = 1 + choose.below(3);
    OneField one;
    for (std::size_t k = 0; k < edits; ++k) {
        const std::size_t count = f.entries.size();
        const std::size_t n = choose.below(count);
        one = {};
        switch (choose.below(9)) {
            case 0: {
                std::string* texts[] = {&f.title, &f.subtitle, &f.publisher, &f.date};
                const std::size_t which = choose.below(4);
                *texts[which] = someText(choose, bytes);
                one.header = 3 + static_cast<int>(which);
                break;
            }
            case 1: {
                constexpr int fieldOfSlot[] = {0, 7, 9, 8, 10};
                const std::size_t slot = 1 + choose.below(4);
                f.documentFlags[slot] = someNumber(choose);
                one.header = fieldOfSlot[slot];
                break;
            }
            case 2: {
                const std::size_t slot = choose.below(9);
                f.colours[slot] = static_cast<std::int32_t>(someNumber(choose));
                one.header = 11 + static_cast<int>(slot);
                break;
            }
            case 3: {
                Entry& e = f.entries[n];
                const int field = static_cast<int>(choose.below(5));
                std::string* texts[] = {&e.name, nullptr, &e.command, &e.folder, &e.description};
                if (field == 1) {
                    e.size = static_cast<std::int32_t>(someNumber(choose));
                } else {
                    *texts[field] = someText(choose, bytes);
                }
                one.entry = static_cast<int>(n) + 1;
                one.field = field;
                break;
            }
            case 4:
                f.entries.insert(f.entries.begin() + choose.below(count + 1),
                                 {someText(choose, bytes), static_cast<std::int32_t>(someNumber(choose)),
                                  someText(choose, bytes), someText(choose, bytes), someText(choose, bytes)});
                break;
            case 5:
                f.entries.erase(f.entries.begin() + n);
                break;
            case 6: {
                const Entry moved = f.entries[n];
                f.entries.erase(f.entries.begin() + n);
                f.entries.insert(f.entries.begin() + choose.below(count), moved);
                break;
            }
            case 7: {
                const Entry copy = f.entries[n];
                f.entries.insert(f.entries.begin() + n, copy);
                break;
            }
            default:
                std::reverse(f.entries.begin(), f.entries.end());
                break;
        }
        if (f.entries.empty()) f.entries.push_back({});
    }
    return edits == 1 ? one : OneField{};
}

// The text lines of a catalogue, decoded.
std::vector<std::string> textLines(std::string_view bytes) {
    std::vector<std::string> lines(1);
    const std::string text = catalogue::decodeCatalogueText(bytes);
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

// The document's lines of the fields are those the reader gives for the bytes written.
void checkLines(const Document& d, const Module1& m) {
    constexpr int fieldOfSlot[] = {0, 7, 9, 8, 10};
    for (int slot = 1; slot <= 4; ++slot) CHECK(d.lineOfHeaderField(fieldOfSlot[slot]) == m.FlagLine[slot]);
    for (int slot = 0; slot < 9; ++slot) CHECK(d.lineOfHeaderField(11 + slot) == m.ColourLine[slot]);
    for (int n = 1; n <= m.ProgramCount; ++n) CHECK(d.lineOfEntryField(n, 0) == m.EntryLine[n]);
    CHECK(d.lineOfEntryField(m.ProgramCount, 5) == m.EndMarkerLine);
    CHECK(d.lineOfEntryField(m.ProgramCount + 1, 0) == 0);
}

// The lines that checkOnlyItsLinesChanged compares: where the edited field and the next one start.
struct EditedLines {
    int edited = 0, next = 0;
};
EditedLines linesOf(const Document& d, const OneField& one) {
    const auto line = [&](int next) {
        return one.header ? d.lineOfHeaderField(one.header + next)
                          : d.lineOfEntryField(one.entry, one.field + next);
    };
    return {line(0), line(1)};
}

// After one field was edited, the lines before its line are as they were, and so are those after
// the line where the next field starts (that line itself may hold the end of the edited field).
void checkOnlyItsLinesChanged(std::string_view original, EditedLines before, std::string_view written,
                              EditedLines after) {
    const std::vector<std::string> a = textLines(original), b = textLines(written);
    CHECK(after.edited == before.edited);
    for (int i = 0; i + 1 < before.edited; ++i) CHECK(a[i] == b[i]);
    CHECK(static_cast<int>(a.size()) - before.next == static_cast<int>(b.size()) - after.next);
    for (int i = before.next; i < static_cast<int>(a.size()); ++i)
        CHECK(a[i] == b[i + after.next - before.next]);
}

// The fields of the tables read.
Fields fieldsOf(const Module1& m) {
    Fields f{m.Title, m.Subtitle, m.Publisher, m.Date, m.DocumentFlags, m.ColourTable, {}};
    for (int n = 1; n <= m.ProgramCount; ++n) {
        f.entries.push_back({m.ProgramName[n], m.ProgramSize[n], m.ProgramCommand[n], m.ProgramFolder[n],
                             m.ProgramDescription[n]});
    }
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The same result as the menu's reader.
    const catalogue::Result reference = catalogue::readCatalogue(bytes);
    auto read = Document::read(bytes);
    if (const auto* error = std::get_if<catalogue::Error>(&reference)) {
        const auto* same = std::get_if<catalogue::Error>(&read);
        CHECK(same && same->kind == error->kind && same->message() == error->message());
        // Opened anyway, nothing is lost: unedited it gives back the same bytes (or, where saving
        // ends the program list, the same bytes with one end marker line in them, and they read).
        Document refused = Document::open(bytes);
        CHECK(refused.refusal() && refused.refusal()->error.message() == error->message());
        const std::string written = refused.write();
        if (refused.refusal()->endsList) {
            CHECK(written.size() > bytes.size() &&
                  std::holds_alternative<Module1>(catalogue::readCatalogue(written)));
        } else {
            CHECK(written == bytes);
        }
        // Mended to the same text it held, it is the file again.
        refused.setRefusedText(refused.refusal()->fieldText + "x");
        refused.setRefusedText(refused.refusal()->fieldText);
        CHECK(refused.write() == written);
        return 0;
    }
    CHECK(std::holds_alternative<Document>(read));
    Document& d = std::get<Document>(read);
    const Module1& m = std::get<Module1>(reference);
    const Fields original = d.fields();
    CHECK(original == fieldsOf(m));
    CHECK(d.problems().empty());  // every text read can be written

    // Unedited: the same bytes, fields and lines.
    CHECK(d.write() == bytes);
    checkLines(d, m);

    // Edited: what problems() lets through reads back as edited.
    Choices choose(bytes);
    Fields fields = original;
    const OneField one = edit(fields, choose, bytes);
    const EditedLines before = linesOf(d, one);
    d.setFields(fields);
    const std::string written = d.write();
    const catalogue::Result again = catalogue::readCatalogue(written);
    if (!d.problems().empty()) {
        // A text that cannot be held is written without what it cannot hold; only too many entries
        // make the catalogue unreadable.
        CHECK(std::holds_alternative<Module1>(again) || fields.entries.size() > catalogue::MaxEntries);
        return 0;
    }
    CHECK(std::holds_alternative<Module1>(again));
    CHECK(fieldsOf(std::get<Module1>(again)) == fields);
    checkLines(d, std::get<Module1>(again));
    CHECK(d.writtenEncoding() == d.encoding() || d.encoding() == catalogue::Encoding::Windows1252);
    if ((one.header || one.entry) && d.writtenEncoding() == d.encoding()) {
        checkOnlyItsLinesChanged(bytes, before, written, linesOf(d, one));
    }

    // Edited back: the file as it was.
    d.setFields(original);
    CHECK(d.write() == bytes);
    return 0;
}
