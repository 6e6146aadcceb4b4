#include "net/last_error.hpp"

#include <windows.h>

#include <sstream>

namespace net {

std::string last_error_text(std::string text) {
  const DWORD code = GetLastError();
  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, code, 0x409, reinterpret_cast<char*>(&message), 0, nullptr);
  std::ostringstream out;
  out << text << ' ' << static_cast<unsigned long>(code) << ": ";
  if (length && message) out.write(message, length);
  if (message) LocalFree(message);
  return out.str();
}

}  // namespace net
