#pragma once
// The calling thread's last system error as text.

#include <string>

namespace net {

// `text`, a space, the code in decimal, ": " and the system's message for the code, as the
// system wrote it (normally ending with "\r\n").
std::string last_error_text(std::string text);

}  // namespace net
