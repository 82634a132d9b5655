#include "catalogue/fieldinput.h"

#include <array>
#include <cstdio>
#include <limits>
#include <utility>

namespace catalogue {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Where the field text that starts at `pos` ends: at the next comma or line end, or at the end of
// the text.
std::size_t fieldEnd(std::string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] != ',' && !isLineEnd(text[pos])) ++pos;
    return pos;
}

// The first line end (CR or LF) at or after `pos` and before `stop`, or `stop` when there is none.
std::size_t nextLineEnd(std::string_view text, std::size_t pos, std::size_t stop) {
    while (pos < stop && !isLineEnd(text[pos])) ++pos;
    return pos;
}

// Length of the well-formed UTF-8 sequence that starts at `i`, or 0 when there is none
// (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short).
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) return 1;
    std::size_t length = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

// Where the run of ASCII bytes that starts at `i` ends. Catalogues are mostly ASCII, so the
// functions below pass over such runs whole.
std::size_t asciiRunEnd(std::string_view s, std::size_t i) {
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
    return i;
}

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Windows-1252 for 0x80 to 0x9F. The five codes it leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) pass through as the C1 control of the same number; 0xA0 to 0xFF equal Latin-1.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t fromWindows1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? Cp1252High[byte - 0x80] : byte;
}

namespace {

std::string fromWindows1252(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t ascii = asciiRunEnd(s, i);
        out.append(s.substr(i, ascii - i));
        if (ascii == s.size()) break;
        const auto b = static_cast<unsigned char>(s[ascii]);
        appendUtf8(out, catalogue::fromWindows1252(b));
        i = ascii + 1;
    }
    return out;
}

// Keeps well-formed sequences and replaces each ill-formed byte with U+FFFD.
std::string repairUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t ascii = asciiRunEnd(s, i);
        out.append(s.substr(i, ascii - i));
        if (ascii == s.size()) break;
        i = ascii;
        const std::size_t n = utf8SequenceLength(s, i);
        if (n == 0) {
            appendUtf8(out, 0xFFFD);
            ++i;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string hex4(char16_t unit) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(unit));
    return text;
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// UTF-16 text after its byte-order mark. Lines are counted as the field input counts them (CR LF
// is one line end), so a broken character is reported on the line an editor shows it on; it reads
// as U+FFFD and decoding goes on, so the text keeps every line.
DecodedText fromUtf16(std::string_view bytes, bool bigEndian) {
    const std::string encoding = bigEndian ? "the file is UTF-16 big endian (byte-order mark FE FF), but "
                                           : "the file is UTF-16 little endian (byte-order mark FF FE), but ";
    const auto unitAt = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    };

    DecodedText out;
    out.text.reserve(bytes.size() / 2 + bytes.size() / 8);
    int line = 1;
    const auto broken = [&](std::string what) {
        if (!out.problem) out.problem = DecodeProblem{line, encoding + std::move(what)};
        appendUtf8(out.text, 0xFFFD);
    };

    char16_t previous = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = unitAt(i);
        if (isHighSurrogate(unit)) {
            if (i + 3 < bytes.size() && isLowSurrogate(unitAt(i + 2))) {
                appendUtf8(out.text, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
                i += 2;
            } else {
                broken("holds a broken character here: the high surrogate " + hex4(unit) +
                       " is not followed by a low surrogate (DC00 to DFFF)");
            }
        } else if (isLowSurrogate(unit)) {
            broken("holds a broken character here: the low surrogate " + hex4(unit) +
                   " does not follow a high surrogate (D800 to DBFF)");
        } else {
            appendUtf8(out.text, unit);
            if (unit == '\r' || (unit == '\n' && previous != '\r')) ++line;
        }
        previous = unit;
    }
    if (i < bytes.size()) {
        broken(
            "its text breaks off here in the middle of a character: the file holds an odd number of "
            "bytes, where UTF-16 has two bytes to each character");
    }
    return out;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = asciiRunEnd(s, 0); i < s.size(); i = asciiRunEnd(s, i)) {
        const std::size_t n = utf8SequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

DecodedText decodeCatalogue(std::string_view bytes) {
    // Windows Notepad saves "Unicode" as UTF-16 little endian behind FF FE.
    constexpr std::string_view utf16Le = "\xFF\xFE", utf16Be = "\xFE\xFF";
    if (bytes.starts_with(utf16Le)) return fromUtf16(bytes.substr(utf16Le.size()), false);
    if (bytes.starts_with(utf16Be)) return fromUtf16(bytes.substr(utf16Be.size()), true);

    constexpr std::string_view utf8 = "\xEF\xBB\xBF";
    if (bytes.starts_with(utf8)) {
        // The mark declares UTF-8; damaged sequences become U+FFFD rather than switching encodings.
        bytes.remove_prefix(utf8.size());
        return {isValidUtf8(bytes) ? std::string(bytes) : repairUtf8(bytes), std::nullopt};
    }
    return {isValidUtf8(bytes) ? std::string(bytes) : fromWindows1252(bytes), std::nullopt};
}

std::string decodeCatalogueText(std::string_view bytes) { return decodeCatalogue(bytes).text; }

FieldInput::FieldInput(std::string_view bytes) {
    DecodedText decoded = decodeCatalogue(bytes);
    decoded_ = std::move(decoded.text);
    problem_ = std::move(decoded.problem);
}

std::optional<Field> FieldInput::next() {
    const std::size_t size = decoded_.size();
    // A comma always promises one more field, even when the line or the file ends right after it.
    const bool promised = afterComma_;
    afterComma_ = false;

    while (pos_ < size && isBlank(decoded_[pos_])) ++pos_;
    if (pos_ >= size) {
        if (promised) return Field{"", line_, false};
        return std::nullopt;
    }

    Field field;
    field.line = line_;
    if (decoded_[pos_] == '"') {
        field.quoted = true;
        const std::size_t start = pos_ + 1;
        const std::size_t close = decoded_.find('"', start);
        const std::size_t stop = close == std::string::npos ? size : close;
        field.text = decoded_.substr(start, stop - start);
        // Line ends inside the quotes are part of the text but still count as lines.
        for (std::size_t i = nextLineEnd(decoded_, start, stop); i < stop;
             i = nextLineEnd(decoded_, i + 1, stop)) {
            if (decoded_[i] == '\n' || i + 1 >= stop || decoded_[i + 1] != '\n') ++line_;
        }
        pos_ = close == std::string::npos ? size : close + 1;
        // Whatever follows the closing quote up to the field's end is dropped.
        pos_ = fieldEnd(decoded_, pos_);
    } else {
        const std::size_t start = pos_;
        pos_ = fieldEnd(decoded_, pos_);
        std::size_t end = pos_;
        while (end > start && isBlank(decoded_[end - 1])) --end;
        field.text = decoded_.substr(start, end - start);
    }

    if (pos_ < size) {
        if (decoded_[pos_] == ',') {
            afterComma_ = true;
            ++pos_;
        } else {
            if (decoded_[pos_] == '\r' && pos_ + 1 < size && decoded_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
            ++line_;
        }
    }
    return field;
}

int FieldInput::line() const {
    if (pos_ >= decoded_.size() && !afterComma_ && !decoded_.empty() && isLineEnd(decoded_.back())) {
        return line_ > 1 ? line_ - 1 : 1;
    }
    return line_;
}

bool FieldInput::atEnd() const {
    for (std::size_t i = pos_; i < decoded_.size(); ++i) {
        if (!isBlank(decoded_[i]) && !isLineEnd(decoded_[i])) return false;
    }
    return true;
}

Number parseNumber(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && isBlank(field[i])) ++i;

    Number number;
    if (i + 1 < field.size() && field[i] == '&') {
        const char prefix = field[i + 1];
        const int base = (prefix == 'H' || prefix == 'h') ? 16 : (prefix == 'O' || prefix == 'o') ? 8 : 0;
        if (base != 0) {
            // The digits form a 32-bit pattern, so the top bit makes the value negative.
            std::uint64_t pattern = 0;
            for (i += 2; i < field.size() && digitValue(field[i]) < base; ++i) {
                number.present = true;
                if (!number.overflow) {
                    pattern = pattern * base + digitValue(field[i]);
                    number.overflow = pattern > 0xFFFFFFFFu;
                }
            }
            if (number.overflow) {
                number.value = std::numeric_limits<std::int64_t>::max();
            } else if (number.present) {
                number.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(pattern));
            }
            return number;
        }
    }

    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    // The magnitude may reach 2^63 when negative, one more than the largest positive value.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        number.present = true;
        const auto digit = static_cast<std::uint64_t>(field[i] - '0');
        if (!number.overflow) {
            if (magnitude > (limit - digit) / 10) {
                number.overflow = true;
            } else {
                magnitude = magnitude * 10 + digit;
            }
        }
    }
    if (number.overflow) {
        number.value =
            negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    } else if (number.present) {
        // Negate in unsigned arithmetic so that 2^63 becomes the smallest int64 without overflow.
        number.value = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
    }
    return number;
}

}  // namespace catalogue
