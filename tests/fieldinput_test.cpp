#include "catalogue/fieldinput.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace {

using catalogue::FieldInput;

// Every field as "text@line", joined by "|".
std::string readAll(std::string_view bytes) {
    FieldInput in(bytes);
    std::string fields;
    while (auto field = in.next())
        fields += (fields.empty() ? "" : "|") + field->text + "@" + std::to_string(field->line);
    return fields;
}

TEST(FieldInput, SplitsFieldsAndCountsLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb\rc\nd\n\re", "a@1|b@2|c@3|d@4|@5|e@6"},  // CR LF, CR, LF, LF CR
        {"a\n\n \t\nb", "a@1|@2|@3|b@4"},                 // empty and blank lines
        {"  two words \t, b ,c\nd", "two words@1|b@1|c@1|d@2"},
        {"a,\nb,", "a@1|@1|b@2|@2"},  // a comma promises a field
        {"\" x, y \" junk \"q\",z\n\"c\"x\nd", " x, y @1|z@1|c@2|d@3"},
        {"say \"hi\" now\n", "say \"hi\" now@1"},
        {"\"1\r\n2\r3\n4\"\nnext\n", "1\r\n2\r3\n4@1|next@5"},
        {"\"abc\ndef", "abc\ndef@1"},              // an unclosed quote runs to the end
        {"\"a\r\"\nb\n\"c\r", "a\r@1|b@3|c\r@4"},  // a CR just before the closing quote or the end
        {"a\n<<", "a@1|<<@2"},
        {"a\n  \t", "a@1"},
        {std::string("a\0b\n", 4), std::string("a\0b@1", 5)},
    };
    for (const auto& [input, fields] : cases) EXPECT_EQ(readAll(input), fields) << input;
}

TEST(FieldInput, LineAndEndAfterReading) {
    struct Case {
        std::string input;
        int fieldsToRead, line;
        bool atEnd;
    };
    const Case cases[] = {
        {"a\nb\n", 2, 2, true}, {"a\r\nb\r\n", 2, 2, true},   {"a\nb", 2, 2, true},  {"a\nb\n\n", 3, 3, true},
        {"", 0, 1, true},       {"\"x\ny\"\nz", 1, 3, false}, {"a\n,", 1, 2, false},
    };
    for (const auto& c : cases) {
        FieldInput in(c.input);
        for (int i = 0; i < c.fieldsToRead; ++i) ASSERT_TRUE(in.next()) << c.input;
        EXPECT_EQ(in.line(), c.line) << c.input;
        EXPECT_EQ(in.atEnd(), c.atEnd) << c.input;
    }
}

TEST(FieldInput, DecodesUtf8OrWindows1252) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         "caf\xC3\xA9"},                                                     // mark dropped
        {"\xE2\x82\xAC \xF0\x9F\x92\xBF", "\xE2\x82\xAC \xF0\x9F\x92\xBF"},  // valid UTF-8 kept
        {"\x80 caf\xE9\x9F\xFF", "\xE2\x82\xAC caf\xC3\xA9\xC5\xB8\xC3\xBF"},
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined in cp1252
        {"\xC3\xA9 \xE9", "\xC3\x83\xC2\xA9 \xC3\xA9"},  // one bad byte: the whole file is cp1252
        {"\xC0\xAF\xED\xA0\x80", "\xC3\x80\xC2\xAF\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // overlong, surrogate
        {"ab\xE2\x82", "ab\xC3\xA2\xE2\x80\x9A"},                                  // cut short
        {"\xEF\xBB\xBF"
         "a\xE9",
         "a\xEF\xBF\xBD"},  // damaged after a mark
        {"\xEF\xBB\xBF"
         "ab\xE9"
         "cd\xC3\xA9"
         "ef",
         "ab\xEF\xBF\xBD"
         "cd\xC3\xA9"
         "ef"},                                      // text on both sides of the damage kept
        {"x\xE9yz\x80", "x\xC3\xA9yz\xE2\x82\xAC"},  // and of each cp1252 byte
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(catalogue::decodeCatalogueText(bytes), text) << bytes;
    FieldInput in("caf\xE9, \x93q\x94\n");
    EXPECT_EQ(in.next()->text, "caf\xC3\xA9");
    EXPECT_EQ(in.next()->text, "\xE2\x80\x9Cq\xE2\x80\x9D");
}

// UTF-16 behind its byte-order mark, built from code units so that the test does not share the
// decoder's arithmetic.
std::string utf16(std::initializer_list<char16_t> units, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(FieldInput, DecodesUtf16ByItsByteOrderMark) {
    struct Case {
        std::initializer_list<char16_t> units;
        std::string text;
        int problemLine;  // 0: none
        const char* problem;
    };
    const Case cases[] = {
        {{u'c', u'a', u'f', 0xE9, u',', 0x20AC}, "caf\xC3\xA9,\xE2\x82\xAC", 0, ""},
        {{0xD83D, 0xDCBF, u'\r', u'\n', 0xFEFF}, "\xF0\x9F\x92\xBF\r\n\xEF\xBB\xBF", 0, ""},  // pair, mark
        {{u'\r', u'\n', u'\r', u'\r', u'\n', 0xD800, u'x'},
         "\r\n\r\r\n\xEF\xBF\xBDx",
         4,
         "holds a broken character here: the high surrogate D800 is not followed by a low surrogate"},
        {{u'a', 0xDBFF}, "a\xEF\xBF\xBD", 1, "the high surrogate DBFF is not followed"},  // at the end
        {{u'\n', 0xDC00, 0xD800, u'\n'},
         "\n\xEF\xBF\xBD\xEF\xBF\xBD\n",
         2,
         "the low surrogate DC00 does not follow a high surrogate"},  // the first problem is named
        {{u'\r', 0xDFFF, u'\n', 0xD83D, 0xDCBF}, "\r\xEF\xBF\xBD\n\xF0\x9F\x92\xBF", 2, "DFFF"},
    };
    for (const bool bigEndian : {false, true}) {
        for (const Case& c : cases) {
            const catalogue::DecodedText decoded = catalogue::decodeCatalogue(utf16(c.units, bigEndian));
            EXPECT_EQ(decoded.text, c.text);
            ASSERT_EQ(decoded.problem.has_value(), c.problemLine != 0) << c.text;
            if (!decoded.problem) continue;
            EXPECT_EQ(decoded.problem->line, c.problemLine) << c.text;
            EXPECT_TRUE(decoded.problem->what.starts_with(
                bigEndian ? "the file is UTF-16 big endian (byte-order mark FE FF), but "
                          : "the file is UTF-16 little endian (byte-order mark FF FE), but "))
                << decoded.problem->what;
            EXPECT_NE(decoded.problem->what.find(c.problem), std::string::npos) << decoded.problem->what;
        }
    }
}

TEST(ParseNumber, ReadsNotations) {
    const std::pair<const char*, const char*> cases[] = {
        {" \t-5", "-5"},
        {"+7", "7"},
        {"12abc", "12"},
        {"1.9", "1"},
        {"&hff", "255"},
        {"&HFFFFFFFF", "-1"},
        {"&H80000005", "-2147483643"},
        {"&H0000000001", "1"},
        {"&o37777777777", "-1"},
        {"-9223372036854775808", "-9223372036854775808"},
        {"&H100000000", "overflow"},
        {"&O40000000000", "overflow"},
        {"9223372036854775808", "overflow"},
        {"-99999999999999999999", "overflow"},
        {"", "none"},
        {"-", "none"},
        {"- 5", "none"},
        {"&HG1", "none"},
        {"&O8", "none"},
    };
    for (const auto& [text, expected] : cases) {
        const catalogue::Number n = catalogue::parseNumber(text);
        const std::string read = !n.present   ? (n.value == 0 ? "none" : "none but not 0")
                                 : n.overflow ? "overflow"
                                              : std::to_string(n.value);
        EXPECT_EQ(read, expected) << '"' << text << '"';
    }
}

}  // namespace
