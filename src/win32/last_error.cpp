#include "win32/last_error.hpp"

#include <windows.h>

#include <sstream>

namespace win32 {

std::string system_text(unsigned long code) {
  char* message = nullptr;
  // No arguments are passed, so a message with inserts ("%1") must keep them as written
  // instead of reading arguments that are not there.
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
      reinterpret_cast<char*>(&message), 0, nullptr);
  std::string text;
  if (length && message) text.assign(message, length);
  if (message) LocalFree(message);
  return text;
}

std::string last_error_text(std::string text) {
  const DWORD code = GetLastError();
  std::ostringstream out;
  out << text << ' ' << static_cast<unsigned long>(code) << ": " << system_text(code);
  return out.str();
}

}  // namespace win32
