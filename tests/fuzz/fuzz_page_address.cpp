// Whatever link a page holds, the browser is only ever sent to a path on the archive site,
// written in printable ASCII.
#include <cstdint>
#include <string>

#include "site/browse_url.hpp"
#include "fuzz/fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string base = "http://archive.example";
  const std::string link(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> address = archive_page_address(base, link);
  const bool on_site = size >= 2 && link[0] == '/' && link[1] != '/' && link[1] != '\\';
  FUZZ_CHECK(address.has_value() == on_site);
  if (!address) return 0;
  FUZZ_CHECK(address->compare(0, base.size() + 1, base + "/") == 0);
  // "//host" or "/\host" after the base would name another host.
  const char next = address->size() > base.size() + 1 ? (*address)[base.size() + 1] : '\0';
  FUZZ_CHECK(next != '/' && next != '\\');
  for (char c : *address) FUZZ_CHECK(c > ' ' && c < 0x7f);
  return 0;
}
