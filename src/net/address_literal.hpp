#pragma once
// Whether a host is written as an address rather than a name, and which address: the
// certificate check compares such a host with the addresses a certificate names, since a
// policy that matches names cannot. Portable.

#include <string>
#include <vector>

namespace net {

// The bytes of an address literal in network order: 4 for IPv4 ("192.0.2.1", four decimal
// numbers of at most three digits), 16 for IPv6 ("2001:db8::1", RFC 4291 2.2, without
// brackets or zone). Empty for anything else, a host name included.
std::vector<unsigned char> address_literal(const std::string& host);

}  // namespace net
