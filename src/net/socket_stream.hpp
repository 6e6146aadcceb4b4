#pragma once
// The plain carrier of a connection: the bytes of a connected socket as they are, each read
// watched, so that one waiting too long can be ended from outside (net::http's read
// time-out).

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "net/byte_stream.hpp"
#include "net/tcp_socket.hpp"

namespace net {

// A read in progress and since when (GetTickCount), for whoever watches the reads.
struct read_watch {
  std::atomic<bool> reading{false};
  std::atomic<DWORD> since{0};
};

class socket_stream : public byte_stream {
 public:
  // Over a connected socket, which others (a cancel, the watchdog) may close under it.
  socket_stream(std::shared_ptr<tcp_socket<char>> socket_, read_watch& watch_)
      : socket(std::move(socket_)), watch(watch_) {}

  // Sends until every byte is out; throws "socket send error N: ..." (a send that takes
  // nothing counts as a reset).
  void send(const char* data, std::size_t length) override;
  // One read of the socket.
  std::string recv(std::size_t maximum) override;
  void close() override { socket->close(); }

 private:
  std::shared_ptr<tcp_socket<char>> socket;
  read_watch& watch;
};

}  // namespace net
