#pragma once
// Text conversions between the core's UTF-8 and the wide strings of the Windows API.
#include <string>
#include <string_view>

namespace win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// Text for a multi-line edit control, which breaks lines only at CR LF: every line end (CR LF,
// LF or CR alone) becomes CR LF.
std::string withCrLf(std::string_view text);

// The access key of a caption: the character after a single "&", upper-cased ASCII ("&Exit" is
// 'E'); 0 when there is none ("&&" is a literal ampersand).
wchar_t accessKey(std::wstring_view caption);

}  // namespace win32
