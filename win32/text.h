#pragma once
// Text for the Win32 controls: line ends and access keys (UTF-8 and wide strings convert through
// platform::win).
#include <string>
#include <string_view>

#include "platform/windows/wintext.h"

namespace win32 {

using platform::win::narrow;
using platform::win::widen;

// Text for a multi-line edit control, which breaks lines only at CR LF: every line end (CR LF,
// LF or CR alone) becomes CR LF.
std::string withCrLf(std::string_view text);

// The access key of a caption: the character after a single "&", upper-cased ASCII ("&Exit" is
// 'E'); 0 when there is none ("&&" is a literal ampersand).
wchar_t accessKey(std::wstring_view caption);

}  // namespace win32
