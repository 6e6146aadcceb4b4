#pragma once
// A blocking IPv4 TCP client socket over Winsock, whose connect ends after a time limit or as
// soon as another thread closes the socket.

#include <winsock2.h>

#include <atomic>
#include <string>

#include "net/net_exception.hpp"

namespace net {

// -- time limits --
// A connect the peer neither accepts nor refuses is given up after this long.
constexpr int connect_timeout_default_ms = 15 * 1000;
// How often a connect in progress looks whether another thread closed the socket.
constexpr int wait_slice_ms = 50;

// The system's sockaddr_in, handed over as a sockaddr of 16 bytes.
struct inet_address : sockaddr_in {
  inet_address() : sockaddr_in() { sin_family = AF_INET; }

  // A dotted IPv4 text is taken as it is; anything else is looked up, and the first address
  // of the name wins. A name without an address leaves 255.255.255.255 (connect then fails).
  void resolve(const std::string& host);
  void set_port(unsigned short port) { sin_port = htons(port); }
};

template <typename Char>
class tcp_socket {
 public:
  tcp_socket() = default;
  tcp_socket(const tcp_socket&) = delete;
  tcp_socket& operator=(const tcp_socket&) = delete;
  ~tcp_socket() { close(); }

  void set_remote(const std::string& host, int port) {
    remote.resolve(host);
    remote.set_port(static_cast<unsigned short>(port & 0xffff));
  }
  void create();
  // Opens a handle if there is none, then connects it.
  void connect(int timeout_ms = connect_timeout_default_ms);
  // Connects the handle as it stands, never opening one: a handle closed meanwhile by a
  // cancel makes this fail ("socket connect error 10004: ...", kind cancelled) instead of
  // quietly connecting a fresh one. A host whose name had no address fails with the kind
  // name_not_found. A peer that does not answer within `timeout_ms` makes it throw
  // "socket connect timed out (no answer in N ms)". The handle blocks again afterwards.
  void connect_open(int timeout_ms = connect_timeout_default_ms);
  // One system send or recv each; they never throw. `recv` gives an empty text when the
  // peer closed, the read failed or the socket was closed.
  int send(const Char* data, int length);
  std::basic_string<Char> recv(int maximum);

  enum class wait_result { ready, timed_out, closed };
  // Shuts down and closes the handle; harmless when there is none. Safe from another
  // thread while this one is blocked in connect, send or recv: the blocked call fails.
  void close();

  // Atomic because a cancel closes it from the window thread while the worker reads it.
  std::atomic<SOCKET> handle{INVALID_SOCKET};
  inet_address remote;
};

// The system works on bytes only; these are defined in the library.
template <> void tcp_socket<char>::create();
template <> void tcp_socket<char>::connect_open(int timeout_ms);
template <> void tcp_socket<char>::connect(int timeout_ms);
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
