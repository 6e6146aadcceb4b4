#pragma once
// The program's texts are UTF-8; the system's wide functions take UTF-16. Malformed UTF-8
// becomes U+FFFD.

#include <string>
#include <string_view>

namespace win32 {

std::wstring utf16(std::string_view utf8);
// The same into `out`, which keeps its storage from call to call.
void to_utf16(std::string_view utf8, std::wstring& out);
std::string utf8(std::wstring_view utf16);

}  // namespace win32
