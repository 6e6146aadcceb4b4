#pragma once
// The HTTP/1.1 client: one keep-alive connection to one server, POST requests of form
// bodies and whole responses read back.

#include <memory>
#include <mutex>
#include <string>

#include "net/http_message.hpp"
#include "net/tcp_socket.hpp"

namespace net {

class http {
 public:
  http() = default;
  http(const http&) = delete;
  http& operator=(const http&) = delete;

  // Replaces the connection with a new one to `host` and `port`; the previous socket is
  // closed first. Throws the socket's "create socket error" / "socket connect error".
  virtual void connect();
  // Cancels: closes the current socket so that a connect, send or recv blocked on it in
  // another thread fails promptly. Never waits for that thread.
  virtual void close();
  virtual int send(const std::string& data);
  virtual std::string recv(int maximum);

  // Takes effect at the next `connect`.
  void set_address(const std::string& host_, int port_) {
    host = host_;
    port = port_;
  }
  // The caller's collection is copied, so it never changes.
  void post(const std::string& path, const std::string& body, http_headers fields);
  http_resp read_response();

  std::shared_ptr<tcp_socket<char>> socket;
  std::string host;
  int port = 0;

 private:
  // The socket pointer is replaced by the worker's `connect` while the window thread's
  // `close` may read it; both hold this lock for the pointer only, never for a blocking call.
  std::shared_ptr<tcp_socket<char>> current();
  std::mutex guard;
  // Set by `close`, cleared by `connect`: a cancel that lands before the new socket has a
  // handle must still stop that connect.
  bool cancelled = false;
  // Bytes read past the end of the previous response on this connection.
  std::string pending;
};

}  // namespace net
