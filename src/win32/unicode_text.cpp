#include "win32/unicode_text.hpp"

#include <windows.h>

#include <algorithm>

namespace win32 {

void to_utf16(std::string_view utf8, std::wstring& out) {
  // Never more UTF-16 units than bytes.
  out.resize(utf8.size());
  const int got = utf8.empty() ? 0
                               : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                     &out[0], static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(std::max(got, 0)));
}

std::wstring utf16(std::string_view utf8) {
  std::wstring out;
  to_utf16(utf8, out);
  return out;
}

std::string utf8(std::wstring_view utf16) {
  if (utf16.empty()) return std::string();
  const int size = static_cast<int>(utf16.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace win32
