#include "catalogue/catalogue.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "catalogue/fieldinput.h"
#include "catalogue/fields.h"
#include "catalogue/systemfile.h"

namespace catalogue {
namespace {

// A catalogue is a small text file; anything far larger is not one, and reading it whole could
// exhaust memory.
constexpr std::size_t MaxFileBytes = 64u * 1024 * 1024;

using fields::Kind;

// Fields are described to the reader by a function that spells the name out (from the field
// table). Names go into messages and notes only, so they are built only when one is needed: a full
// catalogue would otherwise assemble about a thousand strings that are never shown.
template <typename Name>
std::string spell(const Name& name) {
    return name();
}

// Reads the fields in order into `tables`. Every step that can fail returns false once the reading
// has failed, and error() then says why. (Failures are returned rather than thrown: the fuzzer
// reads mostly broken catalogues, and a throw costs more than reading a small file.)
class Reader {
public:
    // Fills `tables`, which must be empty.
    Reader(std::string_view bytes, std::string_view fileName, Module1& tables)
        : in_(bytes), file_(fileName), tables_(tables) {}

    bool read();
    Error& error() { return error_; }
    int failedField() const { return failed_; }

private:
    // The next field into `field`, described by `name` (without article) in case the file ends
    // before it.
    template <typename Name>
    bool expect(Field& field, const Name& name);
    // Reads a numeric field; a field without a number reads as 0 and leaves a note.
    template <typename Name>
    Number number(const Field& field, const Name& name);
    // The same for a field with a range: a value outside [min, max] fails, naming the range.
    template <typename Name>
    bool numberIn(const Field& field, const Name& name, std::int64_t min, std::int64_t max,
                  std::int64_t& value);
    // Fails at the field last taken (`taken` true) or at the next one.
    bool fail(Error::Kind kind, int line, std::string what, bool taken = false) {
        failed_ = taken ? taken_ - 1 : taken_;
        // A broken character stops the file as a whole, not at a field.
        error_ = Error{kind, std::string(file_), line, std::move(what),
                       kind == Error::Kind::BrokenText ? -1 : failed_};
        return false;
    }
    // The next field, counted.
    std::optional<Field> next() {
        auto field = in_.next();
        if (field) ++taken_;
        return field;
    }
    void noteTrailingContent(int endMarkerLine);

    FieldInput in_;
    std::string_view file_;
    Module1& tables_;
    Error error_{};
    int taken_ = 0;   // fields taken so far
    int failed_ = 0;  // see readCatalogueInto
};

template <typename Name>
bool Reader::expect(Field& field, const Name& name) {
    if (auto next = this->next()) {
        field = *std::move(next);
        return true;
    }
    return fail(Error::Kind::UnexpectedEnd, in_.line(),
                "the file ends where the " + spell(name) + " was expected");
}

template <typename Name>
Number Reader::number(const Field& field, const Name& name) {
    const Number n = parseNumber(field.text);
    if (!n.present) {
        // Built in one piece: a fuzzed catalogue often has a note for every entry.
        constexpr std::string_view before = " (\"", after = "\") holds no number; read as 0";
        std::string text = spell(name);
        text.reserve(text.size() + before.size() + field.text.size() + after.size());
        text.append(before).append(field.text).append(after);
        tables_.Notes.push_back({Note::Kind::NotANumber, field.line, std::move(text), taken_ - 1});
    }
    return n;
}

template <typename Name>
bool Reader::numberIn(const Field& field, const Name& name, std::int64_t min, std::int64_t max,
                      std::int64_t& value) {
    const Number n = number(field, name);
    if (n.overflow || n.value < min || n.value > max) {
        const std::string shown = n.overflow ? "\"" + field.text + "\"" : std::to_string(n.value);
        return fail(Error::Kind::NumberOutOfRange, field.line,
                    "the " + spell(name) + " is " + shown + ", outside the range " + std::to_string(min) +
                        " to " + std::to_string(max),
                    true);
    }
    value = n.value;
    return true;
}

bool Reader::read() {
    // A file that cannot be decoded as a whole is not read at all: its broken character may stand
    // anywhere, in a name as well as in the end marker.
    if (const auto& problem = in_.decodeProblem())
        return fail(Error::Kind::BrokenText, problem->line, problem->what);
    if (!next()) {
        return fail(Error::Kind::UnexpectedEnd, in_.line(),
                    "the file holds no fields; a catalogue begins with two fields of free text, then the "
                    "title, subtitle, publisher and date");
    }
    // The header fields after the first, as the field table orders them.
    Field field;
    for (int i = 1; i < fields::HeaderCount; ++i) {
        const fields::HeaderField& h = fields::Header[i];
        const auto name = [i] { return fields::describeHeader(i); };
        if (!expect(field, name)) return false;
        const auto slot = std::size_t(h.slot);
        switch (h.kind) {
            case Kind::Text:
                tables_.*h.table = std::move(field.text);
                break;
            case Kind::Flag:
                // Any number is accepted: only exactly 1 means on, and an overflow (kept saturated) is
                // off.
                tables_.DocumentFlags[slot] = number(field, name).value;
                tables_.FlagLine[slot] = field.line;
                break;
            case Kind::Colour: {
                // Colours are 32-bit patterns: values above 2147483647 name the same bits as the
                // negative ones (2147483653 is the system colour 0x80000005).
                std::int64_t colour = 0;
                if (!numberIn(field, name, std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::uint32_t>::max(), colour))
                    return false;
                tables_.ColourTable[slot] = static_cast<std::int32_t>(colour);
                tables_.ColourLine[slot] = field.line;
                break;
            }
            // The lead-in is read and dropped whatever it holds, so at least one entry is always read.
            default:
                break;
        }
    }

    int n = 0;
    std::optional<Field> separator;
    while (!separator || separator->text != EndMarker) {
        if (n == MaxEntries) {
            return fail(Error::Kind::TooManyEntries, in_.line(),
                        "a 202nd entry begins here; a catalogue holds at most " + std::to_string(MaxEntries) +
                            " entries",
                        true);
        }
        ++n;
        // ofEntry("size") names the size of entry n, should a message need it.
        const auto ofEntry = [n](const char* what) {
            return [n, what] { return what + (" of entry " + std::to_string(n)); };
        };
        for (int role = 0; role < fields::EntryCount; ++role) {
            const fields::EntryField& e = fields::EntryFields[role];
            if (e.kind == Kind::Separator) {
                separator = next();
                if (!separator) {
                    return fail(Error::Kind::UnexpectedEnd, in_.line(),
                                "the file ends before the end marker \"<<\" of the program list");
                }
                continue;
            }
            if (role == 0 && separator) {
                // The previous separator promised this entry; say so if the file ends instead.
                auto first = next();
                if (!first) {
                    return fail(Error::Kind::UnexpectedEnd, in_.line(),
                                "the file ends where the " + ofEntry(e.name)() +
                                    " was expected (the separator on line " +
                                    std::to_string(separator->line) + " is not the end marker \"<<\")",
                                true);
                }
                field = *std::move(first);
            } else if (!expect(field, ofEntry(e.name))) {
                return false;
            }
            if (role == fields::Name) tables_.EntryLine[n] = field.line;
            if (e.kind == Kind::Number) {
                std::int64_t size = 0;
                if (!numberIn(field, ofEntry(e.name), std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max(), size))
                    return false;
                tables_.ProgramSize[n] = static_cast<std::int32_t>(size);
            } else {
                (tables_.*e.table)[n] = std::move(field.text);
            }
        }
    }
    tables_.ProgramCount = n;
    tables_.EndMarkerLine = separator->line;
    noteTrailingContent(separator->line);
    return true;
}

// Nothing after the end marker is read as data, but a publisher may have expected it to be.
void Reader::noteTrailingContent(int endMarkerLine) {
    if (in_.atEnd()) return;
    int line = 0;
    while (auto field = in_.next()) {
        if (!field->text.empty() || field->quoted) {
            line = field->line;
            break;
        }
    }
    if (line == 0) line = in_.line();
    tables_.Notes.push_back(
        {Note::Kind::TrailingContent, line,
         "text after the end marker \"<<\" on line " + std::to_string(endMarkerLine) + " is never read"});
}

}  // namespace

std::string Error::message() const {
    if (line == 0) return file + ": " + what;
    return file + ", line " + std::to_string(line) + ": " + what;
}

Result readCatalogue(std::string_view bytes, std::string_view fileName) {
    // The tables are filled where they are returned: they hold over a thousand strings, and moving
    // them out of the reader would cost as much again.
    Result result(std::in_place_type<Module1>);
    Reader reader(bytes, fileName, std::get<Module1>(result));
    if (!reader.read()) result.emplace<Error>(std::move(reader.error()));
    return result;
}

std::optional<Error> readCatalogueInto(std::string_view bytes, std::string_view fileName, Module1& tables,
                                       int& failedField) {
    Reader reader(bytes, fileName, tables);
    if (reader.read()) return std::nullopt;
    failedField = reader.failedField();
    return std::move(reader.error());
}

Result loadCatalogue(const std::string& file, std::string_view displayName) {
    const std::string name(displayName);
    const auto cannotRead = [&](std::string what) {
        return Error{Error::Kind::CannotRead, name, 0, std::move(what)};
    };

    const systemfile::Probe probe = systemfile::probe(file);
    switch (probe.type) {
        case systemfile::Type::Missing:
            return Error{Error::Kind::FileNotFound, name, 0,
                         "the file does not exist in the folder " + probe.folder + " (a catalogue named \"" +
                             probe.name + "\" was expected)"};
        case systemfile::Type::Unknown:
            return cannotRead("the file cannot be examined (" + probe.reason + ")");
        case systemfile::Type::Folder:
            return cannotRead("this is a folder, not a file (a catalogue file of that name was expected)");
        // Reading a pipe or device could block for ever.
        case systemfile::Type::Other:
            return cannotRead("this is not an ordinary file (a catalogue file of that name was expected)");
        case systemfile::Type::File:
            break;
    }

    std::string bytes;
    std::string reason;
    if (!systemfile::readAll(file, MaxFileBytes, bytes, reason)) return cannotRead(reason);
    if (bytes.size() > MaxFileBytes) {
        return cannotRead("the file is larger than " + std::to_string(MaxFileBytes / (1024 * 1024)) +
                          " MiB; a catalogue is a small text file");
    }
    return readCatalogue(bytes, displayName);
}

}  // namespace catalogue
