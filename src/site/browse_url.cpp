#include "site/browse_url.hpp"

#include "site/form_encoding.hpp"

std::optional<std::string> archive_page_address(const std::string& base, const std::string& url) {
  if (url.size() < 2 || url[0] != '/' || url[1] == '/' || url[1] == '\\') return std::nullopt;
  std::string address = base;
  for (char ch : url) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= ' ' || c >= 0x7f) {
      append_percent_encoded(address, c);
    } else {
      address += ch;
    }
  }
  return address;
}
