#pragma once
// Text at the border between the menu, which holds UTF-8 everywhere, and the wide (UTF-16)
// Windows APIs.
#include <string>
#include <string_view>

namespace platform::win {

// UTF-8 to UTF-16; a byte that is not valid UTF-8 becomes U+FFFD.
std::wstring widen(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string narrow(std::wstring_view utf16);

// The file-open dialog's filter list from the menu's "Name|pattern|Name|pattern" form: every
// name and pattern ends in a NUL and the list in a second NUL, as GetOpenFileNameW reads it. A
// name without a pattern gets "*.*" and an empty name shows its pattern, so that names and
// patterns always pair up and no empty part ends the list early.
std::wstring dialogFilter(std::string_view filter);

}  // namespace platform::win
