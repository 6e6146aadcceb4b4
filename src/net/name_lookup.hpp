#pragma once
// Where a connection to a host may go. A host written as an address (net/address_literal) is
// that address, with no lookup; a name is looked up by the system, IPv6 and IPv4 alike
// (getaddrinfo), on a thread of its own, so that a cancel or the time limit ends the wait at
// once whatever the lookup does: one that cannot be ended is left to finish by itself and its
// result dropped.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "net/tcp_socket.hpp"

namespace net {

// The addresses of `host` with `port` (its low 16 bits), in the order RFC 8305 4 tries them:
// IPv6 first, then the two families taking turns, each in the order the system gave. Throws
// net_exception "host name lookup error N: ..." (kind name_not_found for a name without an
// address), "host name lookup timed out (no answer in N ms)" once `timeout_ms` have passed
// since `since` (GetTickCount), and "host name lookup error 10004: ..." (kind cancelled) as
// soon as `stopped` says so; it is asked every `wait_slice_ms`.
std::vector<inet_address> addresses_of(const std::string& host, int port, int timeout_ms, DWORD since,
                                       const std::function<bool()>& stopped);

}  // namespace net
