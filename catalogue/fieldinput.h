#pragma once
// Sequential field input over a catalogue's bytes: the comma- and line-delimited field syntax
// that catalogues were written in. No Qt: the catalogue reader and the fuzzer use it directly.
//
// Rules:
// - CR LF, LF and CR alone each end a line. A field ends at a comma or a line end; the end of the
//   file ends a field already begun. A comma always promises one more field, so "a," yields "a"
//   and an empty field.
// - An empty line is an empty field.
// - Blanks (spaces, tabs) in front of a field are skipped; an unquoted field loses its trailing
//   blanks. A double quote inside an unquoted field is an ordinary character.
// - A field that begins with a double quote runs to the next double quote; the quotes are dropped,
//   and whatever stands between the closing quote and the next comma or line end is skipped.
// - The text is decoded to UTF-8: input that starts with a UTF-16 byte-order mark (FF FE little
//   endian, FE FF big endian) is taken as UTF-16; input that starts with a UTF-8 byte-order mark
//   or is valid UTF-8 is taken as UTF-8; anything else as Windows-1252.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace catalogue {

// One field as read: its decoded text and the line (1-based) on which it starts.
struct Field {
    std::string text;
    int line = 0;
    bool quoted = false;
};

// A character that cannot be decoded: only UTF-16 text can hold one (an unpaired surrogate, or a
// last character cut off by an odd number of bytes); other text always decodes.
struct DecodeProblem {
    int line = 0;      // the line (1-based) on which the broken character stands
    std::string what;  // what is wrong and what was expected, e.g. "the file is UTF-16 ... "
};

class FieldInput {
public:
    // `bytes` must outlive the reader.
    explicit FieldInput(std::string_view bytes);

    // The first character of the input that could not be decoded (it reads as U+FFFD), if any.
    const std::optional<DecodeProblem>& decodeProblem() const { return problem_; }

    // The next field, or nothing when the input is exhausted (no field begins before the end).
    std::optional<Field> next();

    // The line on which the next field would start; at the very end of input that follows a line
    // end, the number of the last line (so messages never name a line an editor does not show).
    int line() const;

    // True when nothing but blanks and line ends remains.
    bool atEnd() const;

private:
    std::string decoded_;
    std::optional<DecodeProblem> problem_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool afterComma_ = false;  // the last field ended at a comma
};

// Catalogue bytes decoded to UTF-8 (see the rules above); the byte-order mark is dropped and a
// broken character becomes U+FFFD.
struct DecodedText {
    std::string text;
    std::optional<DecodeProblem> problem;  // the first broken character
};
DecodedText decodeCatalogue(std::string_view bytes);

// The text alone of decodeCatalogue.
std::string decodeCatalogueText(std::string_view bytes);

// True when `s` is well-formed UTF-8 (the test that tells a UTF-8 catalogue from a Windows-1252 one).
bool isValidUtf8(std::string_view s);

// Appends the UTF-8 bytes of code point `c` to `out`.
void appendUtf8(std::string& out, char32_t c);

// The character a Windows-1252 byte stands for, as the reader decodes it: the five codes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control of the same number.
char32_t fromWindows1252(unsigned char byte);

// A number read from a numeric field.
struct Number {
    std::int64_t value = 0;  // 0 when the field holds no number; saturated when it overflows
    bool present = false;    // false when the field holds no number at all
    bool overflow = false;   // decimal digits beyond 64 bits, or &H/&O digits beyond 32 bits
};

// Reads a number the way numeric fields are read: blanks, an optional sign and decimal digits,
// or &H (hexadecimal) / &O (octal) digits, whose value is a 32-bit pattern (&HFFFFFFFF is -1).
// Text after the number is ignored; a field with no number reads as 0.
Number parseNumber(std::string_view field);

}  // namespace catalogue
