#pragma once
// A blocking IPv4 TCP client socket over Winsock.

#include <winsock2.h>

#include <atomic>
#include <string>

#include "net/net_exception.hpp"

namespace net {

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
  void connect();
  // One system send or recv each; they never throw. `recv` gives an empty text when the
  // peer closed, the read failed or the socket was closed.
  int send(const Char* data, int length);
  std::basic_string<Char> recv(int maximum);
  // Shuts down and closes the handle; harmless when there is none. Safe from another
  // thread while this one is blocked in connect, send or recv: the blocked call fails.
  void close();

  // Atomic because a cancel closes it from the window thread while the worker reads it.
  std::atomic<SOCKET> handle{INVALID_SOCKET};
  inet_address remote;
};

// Starts Winsock 2.2 during static initialisation.
struct winsock_init {
  winsock_init();
};

}  // namespace net
