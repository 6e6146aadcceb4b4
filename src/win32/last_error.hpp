#pragma once
// The calling thread's last system error as text: the networking library's exceptions and the
// toolkit's diagnostics both say what the system reported this way.

#include <string>

namespace win32 {

// `text`, a space, the code in decimal, ": " and the system's message for the code, as the
// system wrote it (normally ending with "\r\n").
std::string last_error_text(std::string text);

}  // namespace win32
