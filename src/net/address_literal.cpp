#include "net/address_literal.hpp"

#include <cstddef>

namespace net {

namespace {

constexpr std::size_t ipv4_bytes = 4;
constexpr std::size_t ipv6_groups = 8;

bool ipv4_literal(const std::string& text, std::vector<unsigned char>& out) {
  std::size_t at = 0;
  for (std::size_t part = 0; part < ipv4_bytes; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
    std::size_t digits = 0;
    unsigned value = 0;
    const std::size_t first = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
      ++digits;
    }
    // RFC 3986 3.2.2: dec-octet has no leading zero, which the system's own readers would
    // take for octal (010 as 8).
    if (digits == 0 || value > 255 || (digits > 1 && text[first] == '0')) return false;
    out.push_back(static_cast<unsigned char>(value));
  }
  return at == text.size();
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// RFC 4291 2.2: eight groups of one to four hex digits; one "::" stands for one or more
// groups of zeros; the last two groups may be written as an IPv4 address.
bool ipv6_literal(const std::string& text, std::vector<unsigned char>& out) {
  std::vector<unsigned> groups;
  std::size_t gap = ipv6_groups + 1;  // where "::" stands, in groups; none yet
  std::size_t at = 0;
  if (text.compare(0, 2, "::") == 0) {
    gap = 0;
    at = 2;
  }
  std::vector<unsigned char> tail;
  while (at < text.size()) {
    const std::size_t end = text.find(':', at);
    const std::string group = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (end == std::string::npos && group.find('.') != std::string::npos) {
      if (!ipv4_literal(group, tail)) return false;
      groups.push_back(static_cast<unsigned>(tail[0]) << 8 | tail[1]);
      groups.push_back(static_cast<unsigned>(tail[2]) << 8 | tail[3]);
      break;
    }
    if (group.empty() || group.size() > 4 || groups.size() >= ipv6_groups) return false;
    unsigned value = 0;
    for (char c : group) {
      if (hex_digit(c) < 0) return false;
      value = value << 4 | static_cast<unsigned>(hex_digit(c));
    }
    groups.push_back(value);
    if (end == std::string::npos) break;
    at = end + 1;
    if (at < text.size() && text[at] == ':') {
      if (gap <= ipv6_groups) return false;  // a second "::"
      gap = groups.size();
      ++at;
    } else if (at == text.size()) {
      return false;  // a lone ":" at the end
    }
  }
  const bool gapped = gap <= ipv6_groups;
  if (gapped ? groups.size() >= ipv6_groups : groups.size() != ipv6_groups) return false;
  if (gapped) groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(gap), ipv6_groups - groups.size(), 0u);
  for (unsigned g : groups) {
    out.push_back(static_cast<unsigned char>(g >> 8));
    out.push_back(static_cast<unsigned char>(g & 0xff));
  }
  return true;
}

}  // namespace

std::vector<unsigned char> address_literal(const std::string& host) {
  std::vector<unsigned char> bytes;
  if (host.find(':') != std::string::npos ? ipv6_literal(host, bytes) : ipv4_literal(host, bytes)) return bytes;
  return std::vector<unsigned char>();
}

}  // namespace net
