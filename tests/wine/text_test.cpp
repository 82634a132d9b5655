// The Win32 front end's text conversions, run under Wine: UTF-8 catalogue text to the wide
// strings of the controls and back, line ends for the multi-line description box, access keys.
#include "win32/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, Utf8RoundTripsThroughWideStrings) {
    struct Case {
        std::string utf8;
        std::wstring wide;
    };
    const Case cases[] = {
        {"", L""},
        {"Text Editor", L"Text Editor"},
        {"Caf\xC3\xA9 & Co", L"Caf\u00E9 & Co"},               // two-byte sequence
        {"\xE2\x82\xAC 5", L"\u20AC 5"},                       // three bytes: the euro sign
        {"\xF0\x9F\x8E\xB2 Dice", L"\U0001F3B2 Dice"},         // four bytes: a surrogate pair
        {std::string(70000, 'x'), std::wstring(70000, L'x')},  // beyond any fixed buffer
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(win32::widen(c.utf8) == c.wide) << c.utf8.substr(0, 40);
        EXPECT_TRUE(win32::narrow(c.wide) == c.utf8) << c.utf8.substr(0, 40);
    }
}

TEST(Text, EveryLineEndBecomesCrLf) {
    const std::pair<const char*, const char*> cases[] = {
        {"one line", "one line"},
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"a\rb", "a\r\nb"},
        {"a\n\nb", "a\r\n\r\nb"},
        {"a\r\rb", "a\r\n\r\nb"},
        {"a\n\r\nb\r", "a\r\n\r\nb\r\n"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(win32::withCrLf(in), out) << in;
}

TEST(Text, AccessKeyIsTheLetterAfterASingleAmpersand) {
    const std::pair<const wchar_t*, wchar_t> cases[] = {
        {L"&Install highlighted program", L'I'},
        {L"Show &readme", L'R'},
        {L"Fish && &Chips", L'C'},
        {L"Fish && Chips", 0},
        {L"No key", 0},
        {L"Trailing &", 0},
        {L"&&&x", L'X'},
    };
    for (const auto& [caption, key] : cases) EXPECT_EQ(win32::accessKey(caption), key) << caption;
}

}  // namespace
