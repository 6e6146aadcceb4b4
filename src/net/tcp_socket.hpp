#pragma once
// A blocking TCP client socket over Winsock, IPv6 or IPv4: its connect races the server's
// addresses as RFC 8305 says, and ends after a time limit or as soon as another thread closes
// the socket.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <string>
#include <vector>

#include "net/net_exception.hpp"

namespace net {

// -- time limits --
// A connect the peer neither accepts nor refuses is given up after this long; a name's lookup
// counts towards it.
constexpr int connect_timeout_default_ms = 15 * 1000;
// How often a connect or a lookup in progress looks whether another thread closed the socket.
constexpr int wait_slice_ms = 50;
// RFC 8305 5: the next address is tried this long after the one before, while that one is
// still connecting (the Connection Attempt Delay).
constexpr int connection_attempt_delay_ms = 250;

// One address of the server, as the system's sockaddr_in or sockaddr_in6.
struct inet_address {
  sockaddr_storage storage = {};
  int length = 0;

  int family() const { return storage.ss_family; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

template <typename Char>
class tcp_socket {
 public:
  tcp_socket() = default;
  tcp_socket(const tcp_socket&) = delete;
  tcp_socket& operator=(const tcp_socket&) = delete;
  ~tcp_socket() { close(); }

  // Connects to one of `candidates`, tried in their order as RFC 8305 5 says: the next one
  // `connection_attempt_delay_ms` after the one before while that one is still connecting, at
  // once when it failed; the first connection made wins and the others are closed. Throws
  // "socket connect error N: ..." with the last failure's code when none connects, "socket
  // connect timed out (no answer in N ms)" once `timeout_ms` have passed since `since`
  // (GetTickCount), and "socket connect error 10004: ..." (kind cancelled) when the socket
  // was closed before or during the connect. A socket connects once.
  void connect(const std::vector<inet_address>& candidates, int timeout_ms, DWORD since);
  // One system send or recv each; they never throw. `recv` gives an empty text when the
  // peer closed, the read failed or the socket was closed.
  int send(const Char* data, int length);
  std::basic_string<Char> recv(int maximum);

  // Shuts down and closes the handle, and ends a connect in progress or still to come; safe
  // from another thread while this one is blocked in connect, send or recv: the blocked call
  // fails.
  void close();
  bool closed() const { return shut; }

  // Atomic because a cancel closes it from the window thread while the worker reads it.
  std::atomic<SOCKET> handle{INVALID_SOCKET};
  std::atomic<bool> shut{false};
  // The address connected to.
  inet_address remote;

 private:
  // Where `recv` reads; the reading thread's alone.
  std::vector<char> incoming;
};

// The system works on bytes only; these are defined in the library.
template <>
void tcp_socket<char>::connect(const std::vector<inet_address>& candidates, int timeout_ms, DWORD since);
template <> int tcp_socket<char>::send(const char* data, int length);
template <> std::string tcp_socket<char>::recv(int maximum);
template <> void tcp_socket<char>::close();

// What a Winsock error code says happened, for the exceptions of every socket call.
error_kind socket_error_kind(int code);

// Starts Winsock 2.2 during static initialisation.
struct winsock_init {
  winsock_init();
};

}  // namespace net
