#include "site/archive_address.hpp"

#include "net/address_literal.hpp"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool host_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

[[noreturn]] void refuse(const std::string& why) { throw std::invalid_argument(why); }

int default_port(const std::string& scheme) { return scheme == "https" ? 443 : 80; }

// RFC 3986 3.2.2: an IPv6 address is written in brackets, so that its colons are not a port's.
std::string host_in_url(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

// A name whose last label starts with a digit is no name (no top-level domain does), and the
// system would read it as an address of its own kind ("010.0.0.1" as 8.0.0.1, "0x7f000001"):
// only the one way of writing an IPv4 address that everything reads alike is taken.
void check_ipv4(const std::string& host) {
  const std::size_t dot = host.rfind('.');
  const std::size_t last = dot == std::string::npos ? 0 : dot + 1;
  if (last < host.size() && host[last] >= '0' && host[last] <= '9' && net::address_literal(host).empty())
    refuse("an IPv4 address must be four numbers from 0 to 255 without leading zeros, as in 192.0.2.1");
}

}  // namespace

std::string archive_address::authority() const {
  if (port == default_port(scheme)) return host_in_url(host);
  return host_in_url(host) + ":" + std::to_string(port);
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

  std::size_t port_at;
  if (!rest.empty() && rest[0] == '[') {
    // RFC 3986 3.2.2: IP-literal = "[" IPv6address "]", then perhaps ":" and the port.
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) refuse("an IPv6 address must end with \"]\"");
    port_at = close + 1 < rest.size() ? close + 1 : std::string::npos;
    if (port_at != std::string::npos && rest[port_at] != ':')
      refuse("only a port may follow an IPv6 address, after \":\"");
    for (std::size_t i = 1; i < close; ++i) a.host += lower(rest[i]);
    if (net::address_literal(a.host).size() != 16)
      refuse("the address in brackets must be an IPv6 address, as in [2001:db8::1]");
  } else {
    port_at = rest.find(':');
    for (std::size_t i = 0; i < rest.size() && i != port_at; ++i) a.host += lower(rest[i]);
    if (!a.host.empty() && a.host.back() == '.') a.host.pop_back();
    if (a.host.empty()) refuse("the address names no host");
    // RFC 1035 2.3.4: a name is at most 253 characters written out.
    if (a.host.size() > 253) refuse("the host name is longer than 253 characters");
    for (char c : a.host)
      if (!host_char(c)) refuse("the host name may hold only letters, digits, \"-\" and \".\"");
    check_ipv4(a.host);
  }
  std::string port = port_at == std::string::npos ? std::string() : rest.substr(port_at + 1);

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
