#include "win32/text.h"

#include <windows.h>

namespace win32 {

std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

wchar_t accessKey(std::wstring_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        const wchar_t next = caption[i + 1];
        if (next == L'&') {
            ++i;  // "&&" shows one ampersand
            continue;
        }
        return (next >= L'a' && next <= L'z') ? wchar_t(next - L'a' + L'A') : next;
    }
    return 0;
}

}  // namespace win32
