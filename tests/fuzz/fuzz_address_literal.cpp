// Whatever the host text, an address literal is four or sixteen bytes, written with nothing
// but digits, dots and colons, and the same address written out plainly reads back as those
// bytes.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "net/address_literal.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string host(reinterpret_cast<const char*>(data), size);
  const std::vector<unsigned char> bytes = net::address_literal(host);
  if (bytes.empty()) return 0;
  FUZZ_CHECK(bytes.size() == 4 || bytes.size() == 16);
  for (char c : host) FUZZ_CHECK(std::isxdigit(static_cast<unsigned char>(c)) || c == '.' || c == ':');
  std::string plain;
  char part[8];
  for (std::size_t i = 0; i < bytes.size(); i += bytes.size() == 4 ? 1 : 2) {
    if (bytes.size() == 4) std::snprintf(part, sizeof part, i ? ".%u" : "%u", static_cast<unsigned>(bytes[i]));
    else std::snprintf(part, sizeof part, i ? ":%x" : "%x", static_cast<unsigned>(bytes[i] << 8 | bytes[i + 1]));
    plain += part;
  }
  FUZZ_CHECK(net::address_literal(plain) == bytes);
  return 0;
}
