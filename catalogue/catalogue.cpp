#include "catalogue/catalogue.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>

#include "catalogue/systemfile.h"
#include "platform/fieldinput.h"

namespace catalogue {
namespace {

using platform::Field;

// A catalogue is a small text file; anything far larger is not one, and reading it whole could
// exhaust memory.
constexpr std::size_t MaxFileBytes = 64u * 1024 * 1024;

constexpr int FirstColourField = 11;
constexpr int LeadInField = 20;

// What each colour slot colours, in file order.
constexpr const char* ColourUse[9] = {
    "the window background",       "the label background",           "the label text",
    "the program list background", "the program list text",          "the size box background",
    "the size box text",           "the description box background", "the description box text",
};

// The four flags in file order (fields 7 to 10) and the slot each one fills.
struct FlagField {
    int slot;
    const char* name;
};
constexpr FlagField FlagFields[4] = {
    {1, "readme button flag (field 7)"},
    {3, "licence button flag (field 8)"},
    {2, "readme at start-up flag (field 9)"},
    {4, "licence at start-up flag (field 10)"},
};

// The reader stops at the first failure by throwing this; readCatalogue turns it into its result.
struct Failure {
    Error error;
};

class Reader {
public:
    Reader(std::string_view bytes, std::string_view fileName) : in_(bytes), file_(fileName) {}

    Module1 read();

private:
    // The next field, described by `name` (without article) in case the file ends before it.
    Field expect(const std::string& name);
    // Reads a numeric field; a field without a number reads as 0 and leaves a note.
    platform::Number number(const Field& field, const std::string& name);
    // The same for a field with a range: a value outside [min, max] fails, naming the range.
    std::int64_t numberIn(const Field& field, const std::string& name, std::int64_t min, std::int64_t max);
    [[noreturn]] void fail(Error::Kind kind, int line, std::string what) const {
        throw Failure{Error{kind, file_, line, std::move(what)}};
    }
    void noteTrailingContent(int endMarkerLine);

    platform::FieldInput in_;
    std::string file_;
    Module1 tables_;
};

Field Reader::expect(const std::string& name) {
    if (auto field = in_.next()) return *std::move(field);
    fail(Error::Kind::UnexpectedEnd, in_.line(), "the file ends where the " + name + " was expected");
}

platform::Number Reader::number(const Field& field, const std::string& name) {
    const platform::Number n = platform::parseNumber(field.text);
    if (!n.present) {
        tables_.Notes.push_back({Note::Kind::NotANumber, field.line,
                                 name + " (\"" + field.text + "\") holds no number; read as 0"});
    }
    return n;
}

std::int64_t Reader::numberIn(const Field& field, const std::string& name, std::int64_t min,
                              std::int64_t max) {
    const platform::Number n = number(field, name);
    if (n.overflow || n.value < min || n.value > max) {
        const std::string shown = n.overflow ? "\"" + field.text + "\"" : std::to_string(n.value);
        fail(Error::Kind::NumberOutOfRange, field.line,
             "the " + name + " is " + shown + ", outside the range " + std::to_string(min) + " to " +
                 std::to_string(max));
    }
    return n.value;
}

Module1 Reader::read() {
    // A file that cannot be decoded as a whole is not read at all: its broken character may stand
    // anywhere, in a name as well as in the end marker.
    if (const auto& problem = in_.decodeProblem())
        fail(Error::Kind::BrokenText, problem->line, problem->what);
    if (!in_.next()) {
        fail(Error::Kind::UnexpectedEnd, in_.line(),
             "the file holds no fields; a catalogue begins with two fields of free text, then the "
             "title, subtitle, publisher and date");
    }
    expect("second field (free text, ignored)");
    tables_.Title = expect("title (field 3)").text;
    tables_.Subtitle = expect("subtitle (field 4)").text;
    tables_.Publisher = expect("publisher (field 5)").text;
    tables_.Date = expect("date (field 6)").text;

    // Any number is accepted: only exactly 1 means on, and an overflow (kept saturated) is off.
    for (const FlagField& flag : FlagFields) {
        const Field field = expect(flag.name);
        tables_.DocumentFlags[flag.slot] = number(field, flag.name).value;
        tables_.FlagLine[flag.slot] = field.line;
    }

    // Colours are 32-bit patterns: values above 2147483647 name the same bits as the negative
    // ones (2147483653 is the system colour 0x80000005).
    for (int slot = 0; slot < 9; ++slot) {
        const std::string name = std::string("colour for ") + ColourUse[slot] + " (field " +
                                 std::to_string(FirstColourField + slot) + ")";
        const Field field = expect(name);
        tables_.ColourTable[slot] =
            static_cast<std::int32_t>(numberIn(field, name, std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::uint32_t>::max()));
        tables_.ColourLine[slot] = field.line;
    }

    // The lead-in is read and dropped whatever it holds, so at least one entry is always read.
    expect("lead-in of the program list (field " + std::to_string(LeadInField) + ")");

    int n = 0;
    std::optional<Field> separator;
    while (!separator || separator->text != EndMarker) {
        if (n == MaxEntries) {
            fail(Error::Kind::TooManyEntries, in_.line(),
                 "a 202nd entry begins here; a catalogue holds at most " + std::to_string(MaxEntries) +
                     " entries");
        }
        ++n;
        const std::string entry = " of entry " + std::to_string(n);
        if (separator) {
            // The previous separator promised this entry; say so if the file ends instead.
            if (auto field = in_.next()) {
                tables_.ProgramName[n] = field->text;
                tables_.EntryLine[n] = field->line;
            } else {
                fail(Error::Kind::UnexpectedEnd, in_.line(),
                     "the file ends where the name" + entry + " was expected (the separator on line " +
                         std::to_string(separator->line) + " is not the end marker \"<<\")");
            }
        } else {
            const Field name = expect("name" + entry);
            tables_.ProgramName[n] = name.text;
            tables_.EntryLine[n] = name.line;
        }
        const Field size = expect("size" + entry);
        tables_.ProgramSize[n] =
            static_cast<std::int32_t>(numberIn(size, "size" + entry, std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()));
        tables_.ProgramCommand[n] = expect("command line" + entry).text;
        tables_.ProgramFolder[n] = expect("folder" + entry).text;
        tables_.ProgramDescription[n] = expect("description" + entry).text;

        separator = in_.next();
        if (!separator) {
            fail(Error::Kind::UnexpectedEnd, in_.line(),
                 "the file ends before the end marker \"<<\" of the program list");
        }
    }
    tables_.ProgramCount = n;
    tables_.EndMarkerLine = separator->line;
    noteTrailingContent(separator->line);
    return std::move(tables_);
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
    try {
        return Reader(bytes, fileName).read();
    } catch (const Failure& failure) {
        return failure.error;
    }
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
