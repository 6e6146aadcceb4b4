#pragma once
// Whether a host is written as an address rather than a name, and which address: such a host
// is connected to as it stands, without a lookup, and the certificate check compares it with
// the addresses a certificate names, since a policy that matches names cannot. Portable.

#include <string>
#include <vector>

namespace net {

// The bytes of an address literal in network order: 4 for IPv4 ("192.0.2.1", four decimal
// numbers from 0 to 255 without leading zeros), 16 for IPv6 ("2001:db8::1", RFC 4291 2.2,
// without brackets or zone). Empty for anything else, a host name included. The connection
// and the certificate check both read a host with this, so they agree on what it names.
std::vector<unsigned char> address_literal(const std::string& host);

}  // namespace net
