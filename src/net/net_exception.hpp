#pragma once
// The networking library's one exception type.

#include <stdexcept>
#include <string>

namespace net {

struct net_exception : std::runtime_error {
  explicit net_exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace net
