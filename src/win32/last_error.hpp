#pragma once
// The system's errors as text: the networking library's exceptions and the toolkit's
// diagnostics both say what the system reported this way.

#include <string>

namespace win32 {

// The system's message for `code`, as the system wrote it (normally ending with "\r\n");
// empty when it has none.
std::string system_text(unsigned long code);

// For the calling thread's last error: `text`, a space, the code in decimal, ": " and
// `system_text` of the code.
std::string last_error_text(std::string text);

}  // namespace win32
