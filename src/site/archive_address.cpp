#include "site/archive_address.hpp"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool host_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

[[noreturn]] void refuse(const std::string& why) { throw std::invalid_argument(why); }

int default_port(const std::string& scheme) { return scheme == "https" ? 443 : 80; }

}  // namespace

std::string archive_address::authority() const {
  if (port == default_port(scheme)) return host;
  return host + ":" + std::to_string(port);
}

std::string archive_address::base_url() const { return scheme + "://" + authority(); }

archive_address parse_archive_address(const std::string& text) {
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= ' ' || u == 0x7f) refuse("the address must not contain spaces or control characters");
  }
  archive_address a;
  const std::size_t colon = text.find("://");
  if (colon != std::string::npos)
    for (std::size_t i = 0; i < colon; ++i) a.scheme += lower(text[i]);
  if (a.scheme != "http" && a.scheme != "https")
    refuse("the address must start with http:// or https://");

  std::string rest = text.substr(colon + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.find_first_of("/?#") != std::string::npos)
    refuse("the address must name only a host and a port, without a path");
  if (rest.find('@') != std::string::npos) refuse("the address must not hold a user name");

  const std::size_t port_at = rest.find(':');
  std::string port = port_at == std::string::npos ? std::string() : rest.substr(port_at + 1);
  for (std::size_t i = 0; i < rest.size() && i != port_at; ++i) a.host += lower(rest[i]);
  if (!a.host.empty() && a.host.back() == '.') a.host.pop_back();
  if (a.host.empty()) refuse("the address names no host");
  // RFC 1035 2.3.4: a name is at most 253 characters written out.
  if (a.host.size() > 253) refuse("the host name is longer than 253 characters");
  for (char c : a.host)
    if (!host_char(c)) refuse("the host name may hold only letters, digits, \"-\" and \".\"");

  if (port_at == std::string::npos) {
    a.port = default_port(a.scheme);
    return a;
  }
  const char* bad_port = "the port must be a number from 1 to 65535";
  if (port.empty() || port.size() > 5) refuse(bad_port);
  for (char c : port)
    if (c < '0' || c > '9') refuse(bad_port);
  a.port = std::stoi(port);
  if (a.port < 1 || a.port > 65535) refuse(bad_port);
  return a;
}
