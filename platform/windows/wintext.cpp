#include "platform/windows/wintext.h"

#include <windows.h>

namespace platform::win {

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int size = static_cast<int>(utf16.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

std::wstring dialogFilter(std::string_view filter) {
    // An empty part would end the list early (two NULs in a row), so an empty pattern is "*.*"
    // and an empty name is shown as its pattern.
    std::wstring list;
    std::size_t start = 0;
    while (start < filter.size() || list.empty()) {
        std::size_t bar = filter.find('|', start);
        if (bar == std::string_view::npos) bar = filter.size();
        const std::string_view name = filter.substr(start, bar - start);
        start = bar + 1;
        std::string_view pattern = "*.*";
        if (start <= filter.size()) {
            bar = filter.find('|', start);
            if (bar == std::string_view::npos) bar = filter.size();
            if (bar > start) pattern = filter.substr(start, bar - start);
            start = bar + 1;
        }
        list += widen(name.empty() ? pattern : name);
        list += L'\0';
        list += widen(pattern);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

}  // namespace platform::win
