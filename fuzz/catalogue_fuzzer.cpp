// libFuzzer target for the catalogue reader and the field input beneath it.
//
// Whatever bytes a medium carries, reading them must give either tables that make sense or an error
// whose message names the file and a line that exists; never a crash, a hang or malformed text.
// Every check below traps when that promise is broken, so libFuzzer keeps the input.
//
// Besides the invariants, two transformations must not change what is read: writing every line end
// as CR LF or as CR alone (all three line ends count the same), and appending text after a complete
// catalogue (nothing after the end marker is read).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/fieldinput.h"

#define CHECK(condition)                                                                                   \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "catalogue_fuzzer: check failed at line %d: %s\n", __LINE__, #condition); \
            __builtin_trap();                                                                              \
        }                                                                                                  \
    } while (false)

namespace {

constexpr std::string_view FileName = "contents.inf";
constexpr std::string_view Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Well-formed UTF-8 as RFC 3629 defines it, written independently of the reader's own check.
bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2;
            code = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            code = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            code = b & 0x07;
        } else {
            return false;
        }
        if (i + length > s.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            code = (code << 6) | (c & 0x3F);
        }
        const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// The lines an editor shows: CR LF, CR and LF each end one; text after the last line end is one
// more line. An empty file still has line 1, where the reader reports that nothing is in it.
int lastLine(std::string_view text) {
    int lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (isLineEnd(text[i])) ++lines;
    }
    if (!text.empty() && !isLineEnd(text.back())) ++lines;
    return lines > 0 ? lines : 1;
}

// Every line end written as `lineEnd`.
std::string withLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = std::min(text.find_first_of("\r\n", i), text.size());
        out.append(text, i, end - i);
        if (end == text.size()) break;
        i = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        out += lineEnd;
    }
    return out;
}

// True when `a` and `b` differ at most in how their line ends are written (CR LF, CR or LF).
bool sameUpToLineEnds(std::string_view a, std::string_view b) {
    const auto lineEndLength = [](std::string_view s, std::size_t i) -> std::size_t {
        if (!isLineEnd(s[i])) return 0;
        return s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n' ? 2 : 1;
    };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const std::size_t endA = lineEndLength(a, i), endB = lineEndLength(b, j);
        if (endA != 0 && endB != 0) {
            i += endA;
            j += endB;
        } else if (a[i] == b[j] && endA == 0) {
            ++i;
            ++j;
        } else {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

// True when `a` and `b` hold the same ASCII characters in the same order.
bool sameAscii(std::string_view a, std::string_view b) {
    const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    std::size_t i = 0, j = 0;
    for (;;) {
        while (i < a.size() && !ascii(a[i])) ++i;
        while (j < b.size() && !ascii(b[j])) ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        if (a[i++] != b[j++]) return false;
    }
}

bool isUtf16(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// The UTF-16 code units of valid UTF-8 text, behind a byte-order mark: the inverse of decoding.
std::string toUtf16(std::string_view utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    const auto unit = [&](std::uint32_t u) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1 ? b : b & (0x3Fu >> (length - 1));
        for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (utf8[i + k] & 0x3F);
        i += length;
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + (code & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

// decodeCatalogueText: always UTF-8, UTF-8 input unchanged, every ASCII byte kept in place, and
// decoding its own output changes nothing. UTF-16 decodes to the text that encodes back to the same
// bytes, unless a broken character is reported on a line the text has.
std::string checkDecode(std::string_view bytes) {
    const catalogue::DecodedText full = catalogue::decodeCatalogue(bytes);
    const std::string decoded = catalogue::decodeCatalogueText(bytes);
    CHECK(full.text == decoded);
    CHECK(validUtf8(decoded));
    if (isUtf16(bytes)) {
        if (full.problem) {
            CHECK(full.problem->line >= 1 && full.problem->line <= lastLine(decoded));
            CHECK(full.problem->what.starts_with("the file is UTF-16 "));
        } else {
            CHECK(toUtf16(decoded, bytes[0] == '\xFE') == bytes);
        }
        return decoded;
    }
    CHECK(!full.problem);
    std::string_view body = bytes;
    if (body.starts_with(Bom)) body.remove_prefix(Bom.size());
    if (validUtf8(body)) CHECK(decoded == body);
    CHECK(sameAscii(decoded, body));
    if (!decoded.starts_with(Bom)) CHECK(catalogue::decodeCatalogueText(decoded) == decoded);
    return decoded;
}

// parseNumber against a plain model: wide arithmetic, no early exits.
void checkParseNumber(std::string_view field) {
    const catalogue::Number got = catalogue::parseNumber(field);

    catalogue::Number want;
    std::size_t i = 0;
    while (i < field.size() && isBlank(field[i])) ++i;
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return 99;
    };
    constexpr unsigned __int128 Cap = static_cast<unsigned __int128>(1) << 70;
    unsigned __int128 magnitude = 0;
    int base = 0;
    if (i + 1 < field.size() && field[i] == '&') {
        const char p = field[i + 1];
        base = (p == 'H' || p == 'h') ? 16 : (p == 'O' || p == 'o') ? 8 : 0;
    }
    if (base != 0) {
        for (i += 2; i < field.size() && digit(field[i]) < base; ++i) {
            want.present = true;
            magnitude = std::min(Cap, magnitude * base + digit(field[i]));
        }
        want.overflow = magnitude > 0xFFFFFFFFu;
        if (want.overflow) {
            want.value = std::numeric_limits<std::int64_t>::max();
        } else {
            want.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        }
    } else {
        bool negative = false;
        if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
        for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
            want.present = true;
            magnitude = std::min(Cap, magnitude * 10 + digit(field[i]));
        }
        const unsigned __int128 limit =
            static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
        want.overflow = magnitude > limit;
        if (want.overflow) {
            want.value = negative ? std::numeric_limits<std::int64_t>::min()
                                  : std::numeric_limits<std::int64_t>::max();
        } else {
            const auto m = static_cast<__int128>(magnitude);
            want.value = static_cast<std::int64_t>(negative ? -m : m);
        }
    }
    CHECK(got.present == want.present);
    CHECK(got.overflow == want.overflow);
    CHECK(got.value == want.value);
    if (!got.present) CHECK(got.value == 0 && !got.overflow);
}

// Reads every field of `bytes`, whose decoded text has `length` bytes on `last` lines. Without
// `original`, checks each field on its own and returns them all; with it, checks that the same
// fields come out (up to the spelling of line ends inside quoted texts) and returns nothing, since
// what holds for the original fields then holds for these.
std::vector<catalogue::Field> checkFields(std::string_view bytes, std::size_t length, int last,
                                          const std::vector<catalogue::Field>* original = nullptr) {
    catalogue::FieldInput in(bytes);
    std::vector<catalogue::Field> fields;
    std::size_t count = 0;
    int previousLine = 1;
    for (;;) {
        const int lineBefore = in.line();
        // atEnd() scans the rest of the input, so asking before every field would be quadratic.
        const bool endBefore = count < 64 && in.atEnd();
        CHECK(lineBefore >= 1 && lineBefore <= last);
        std::optional<catalogue::Field> field = in.next();
        if (!field) break;
        // A field consumes at least one character or a comma's promise, so there are never more
        // fields than characters plus one.
        CHECK(count <= length);
        CHECK(field->line == lineBefore);
        // Nothing but blanks and line ends was left: the field can only be empty.
        if (endBefore) CHECK(field->text.empty());
        ++count;
        if (original) {
            CHECK(count <= original->size());
            const catalogue::Field& same = (*original)[count - 1];
            CHECK(field->line == same.line && field->quoted == same.quoted);
            CHECK(sameUpToLineEnds(field->text, same.text));
            continue;
        }
        CHECK(field->line >= previousLine && field->line <= last);
        CHECK(validUtf8(field->text));
        if (field->quoted) {
            CHECK(field->text.find('"') == std::string::npos);
        } else {
            CHECK(field->text.find_first_of(",\r\n") == std::string::npos);
            CHECK(field->text.empty() || (!isBlank(field->text.front()) && !isBlank(field->text.back())));
        }
        checkParseNumber(field->text);
        previousLine = field->line;
        fields.push_back(*std::move(field));
    }
    if (original) CHECK(count == original->size());
    CHECK(in.atEnd());
    CHECK(!in.next());
    CHECK(in.line() >= 1 && in.line() <= last);
    return fields;
}

void checkTables(const catalogue::Module1& m, int last) {
    using catalogue::MaxEntries;
    CHECK(m.ProgramCount >= 1 && m.ProgramCount <= MaxEntries);
    for (const std::string* text : {&m.Title, &m.Subtitle, &m.Publisher, &m.Date}) CHECK(validUtf8(*text));

    CHECK(m.DocumentFlags[0] == 0 && m.FlagLine[0] == 0);
    // The flags come in file order 1, 3, 2, 4, then the colours, then the entries.
    int line = 1;
    for (const int slot : {1, 3, 2, 4}) {
        CHECK(m.FlagLine[slot] >= line && m.FlagLine[slot] <= last);
        line = m.FlagLine[slot];
    }
    for (const int colourLine : m.ColourLine) {
        CHECK(colourLine >= line && colourLine <= last);
        line = colourLine;
    }

    for (int n = 0; n < catalogue::ProgramSlots; ++n) {
        const bool used = n >= 1 && n <= m.ProgramCount;
        if (!used) {
            CHECK(m.ProgramName[n].empty() && m.ProgramCommand[n].empty() && m.ProgramFolder[n].empty() &&
                  m.ProgramDescription[n].empty());
            CHECK(m.ProgramSize[n] == 0 && m.EntryLine[n] == 0);
            continue;
        }
        CHECK(m.EntryLine[n] >= line && m.EntryLine[n] <= last);
        line = m.EntryLine[n];
        CHECK(validUtf8(m.ProgramName[n]) && validUtf8(m.ProgramCommand[n]) &&
              validUtf8(m.ProgramFolder[n]) && validUtf8(m.ProgramDescription[n]));
    }
    CHECK(m.EndMarkerLine >= line && m.EndMarkerLine <= last);

    int trailing = 0;
    for (const catalogue::Note& note : m.Notes) {
        CHECK(!note.text.empty() && validUtf8(note.text));
        CHECK(note.line >= 1 && note.line <= last);
        if (note.kind == catalogue::Note::Kind::TrailingContent) {
            ++trailing;
            CHECK(note.line >= m.EndMarkerLine);
        } else {
            CHECK(note.kind == catalogue::Note::Kind::NotANumber);
            CHECK(note.line <= m.EndMarkerLine);
        }
    }
    CHECK(trailing <= 1);
}

void checkError(const catalogue::Error& e, int last) {
    using Kind = catalogue::Error::Kind;
    // Reading bytes cannot fail to find or open a file.
    CHECK(e.kind == Kind::UnexpectedEnd || e.kind == Kind::TooManyEntries ||
          e.kind == Kind::NumberOutOfRange || e.kind == Kind::BrokenText);
    CHECK(e.file == FileName);
    CHECK(e.line >= 1 && e.line <= last);
    CHECK(!e.what.empty() && validUtf8(e.what));
    const std::string message = e.message();
    CHECK(message.starts_with(FileName));
    CHECK(message == std::string(FileName) + ", line " + std::to_string(e.line) + ": " + e.what);
}

// The same tables, line numbers and notes, or the same error, up to the spelling of line ends
// inside quoted texts. With `withNotes` false only the notes about numbers are compared.
void checkSameResult(const catalogue::Result& a, const catalogue::Result& b, bool withNotes) {
    CHECK(a.index() == b.index());
    if (const auto* ea = std::get_if<catalogue::Error>(&a)) {
        const auto& eb = std::get<catalogue::Error>(b);
        CHECK(ea->kind == eb.kind && ea->line == eb.line);
        CHECK(sameUpToLineEnds(ea->what, eb.what));
        return;
    }
    const auto& ma = std::get<catalogue::Module1>(a);
    const auto& mb = std::get<catalogue::Module1>(b);
    CHECK(sameUpToLineEnds(ma.Title, mb.Title) && sameUpToLineEnds(ma.Subtitle, mb.Subtitle) &&
          sameUpToLineEnds(ma.Publisher, mb.Publisher) && sameUpToLineEnds(ma.Date, mb.Date));
    CHECK(ma.DocumentFlags == mb.DocumentFlags && ma.ColourTable == mb.ColourTable);
    CHECK(ma.FlagLine == mb.FlagLine && ma.ColourLine == mb.ColourLine);
    CHECK(ma.ProgramCount == mb.ProgramCount && ma.EndMarkerLine == mb.EndMarkerLine);
    CHECK(ma.ProgramSize == mb.ProgramSize && ma.EntryLine == mb.EntryLine);
    for (int n = 1; n <= ma.ProgramCount; ++n) {
        CHECK(sameUpToLineEnds(ma.ProgramName[n], mb.ProgramName[n]));
        CHECK(sameUpToLineEnds(ma.ProgramCommand[n], mb.ProgramCommand[n]));
        CHECK(sameUpToLineEnds(ma.ProgramFolder[n], mb.ProgramFolder[n]));
        CHECK(sameUpToLineEnds(ma.ProgramDescription[n], mb.ProgramDescription[n]));
    }
    // The notes compared, in order.
    const auto compared = [&](const std::vector<catalogue::Note>& notes) {
        std::vector<const catalogue::Note*> kept;
        for (const catalogue::Note& note : notes) {
            if (withNotes || note.kind == catalogue::Note::Kind::NotANumber) kept.push_back(&note);
        }
        return kept;
    };
    const std::vector<const catalogue::Note*> na = compared(ma.Notes), nb = compared(mb.Notes);
    CHECK(na.size() == nb.size());
    for (std::size_t i = 0; i < na.size(); ++i) {
        CHECK(na[i]->line == nb[i]->line && sameUpToLineEnds(na[i]->text, nb[i]->text));
    }
}

// Reads `bytes`, whose decoded text has `last` lines, and checks the tables or the error.
catalogue::Result checkCatalogue(std::string_view bytes, int last) {
    catalogue::Result result = catalogue::readCatalogue(bytes, FileName);
    if (const auto* tables = std::get_if<catalogue::Module1>(&result)) {
        checkTables(*tables, last);
    } else {
        checkError(std::get<catalogue::Error>(result), last);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string decoded = checkDecode(bytes);
    const int last = lastLine(decoded);
    checkParseNumber(bytes);
    const std::vector<catalogue::Field> fields = checkFields(bytes, decoded.size(), last);
    const catalogue::Result result = checkCatalogue(bytes, last);

    // UTF-16 reads as the UTF-8 it decodes to, or fails at its broken character. The variants
    // below edit bytes, which would split its code units.
    if (isUtf16(bytes)) {
        const catalogue::DecodedText utf16 = catalogue::decodeCatalogue(bytes);
        if (utf16.problem) {
            const auto* error = std::get_if<catalogue::Error>(&result);
            CHECK(error && error->kind == catalogue::Error::Kind::BrokenText &&
                  error->line == utf16.problem->line);
        } else if (!decoded.starts_with(Bom)) {
            checkSameResult(result, checkCatalogue(decoded, last), true);
        }
        return 0;
    }

    // The same file with its line ends written as CR LF, and as CR alone. Only ASCII bytes change,
    // and line ends only for line ends, so the encoding that decoding picks and the number of lines
    // stay the same.
    for (const std::string_view lineEnd : {std::string_view("\r\n"), std::string_view("\r")}) {
        const std::string variant = withLineEnds(bytes, lineEnd);
        checkFields(variant, decoded.size() + bytes.size(), last, &fields);
        checkSameResult(result, checkCatalogue(variant, last), true);
    }

    // After a complete catalogue that ends with a line end, more text changes nothing but the notes
    // about it. (Without the final line end, the text would join the end marker's line.) The text
    // added is ASCII and ends two lines further on.
    if (std::holds_alternative<catalogue::Module1>(result) && !decoded.empty() && isLineEnd(decoded.back())) {
        const std::string longer = std::string(bytes) + "<<,\"1\r\n2";
        checkSameResult(result, checkCatalogue(longer, last + 2), false);
    }
    return 0;
}
