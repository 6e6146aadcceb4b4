#pragma once
// A failed system call of the networking library as its exception: the kind, the code and the
// system's text for it.

#include <string>

#include "net/net_exception.hpp"
#include "win32/last_error.hpp"

namespace net {

// "<what> <code>: <the system's text>".
inline net_exception system_error(error_kind kind, const std::string& what, unsigned long code) {
  return net_exception(kind, what, code, win32::system_text(code));
}

}  // namespace net
