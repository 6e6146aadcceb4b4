#pragma once
// The HTTP/1.1 client: one keep-alive connection to one server, POST requests of form
// bodies and whole responses read back. Over TLS when told so: the messages are the same
// byte stream either way, and the records are net/tls_channel's business.

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "net/http_message.hpp"
#include "net/tcp_socket.hpp"
#include "net/tls_channel.hpp"

namespace net {

// A reply that stops (before its first byte or in the middle) is given up after this long
// without a byte.
constexpr int read_timeout_default_ms = 30 * 1000;
// How often the read watchdog looks at a read in progress, and how long it watches a
// connection that reads nothing before it sleeps until the next connect.
constexpr DWORD watch_slice_ms = 50;
constexpr DWORD watch_idle_ms = 5 * 1000;

// Encrypted bytes asked of the socket at once: at least a whole record of the largest size,
// so that a record rarely costs two reads (each a system call that Wine makes dear).
constexpr std::size_t tls_read_bytes = 32 * 1024;

class http {
 public:
  http() = default;
  ~http();
  http(const http&) = delete;
  http& operator=(const http&) = delete;

  // Replaces the connection with a new one to `host` and `port`; the previous one is ended
  // first (with close_notify over TLS). Throws the socket's "create socket error" / "socket
  // connect error", and "socket connect timed out ..." after `connect_timeout_ms`. A secure
  // client then shakes hands and checks the server's certificate: "TLS handshake error N:
  // ...", "TLS handshake timed out (no byte for N ms)" after `read_timeout_ms`, or
  // net::certificate_refused, before any request can be sent.
  virtual void connect();
  // Cancels: closes the current socket so that a connect, send or recv blocked on it in
  // another thread fails promptly, and makes every later `connect` fail at once until
  // `clear_cancel`. Never waits for that thread, so no close_notify is sent.
  virtual void close();
  // Closes the current connection as the peer closing it would, not as a cancel: the next
  // `connect` opens a new one. For the thread that uses the connection, once it has nothing
  // more to ask on it.
  void disconnect();
  // The connection's bytes, decrypted or encrypted on the way when secure. `send` returns
  // the count taken or SOCKET_ERROR; `recv` gives an empty text once the connection closed,
  // and over TLS throws for a record that does not decrypt.
  virtual int send(const std::string& data);
  virtual std::string recv(int maximum);

  // Takes effect at the next `connect`; `secure_` speaks TLS to the server, verifying that
  // its certificate is made out for `host_`.
  void set_address(const std::string& host_, int port_, bool secure_ = false) {
    host = host_;
    port = port_;
    secure = secure_;
  }
  // Forgets an earlier cancel. The owner calls it before it hands the client to another
  // thread for a new exchange, so that a cancel arriving any time after, even before that
  // thread reaches `connect`, still stops the exchange.
  void clear_cancel();

  // The caller's collection is copied, so it never changes. Sends until every byte is out;
  // a failed send throws "socket send error", the code and the system's text.
  void post(const std::string& path, const std::string& body, http_headers fields);
  // Throws "http_resp timed out (no byte for N ms)" when `read_timeout_ms` pass without a
  // byte, besides the message errors.
  http_resp read_response();

  std::shared_ptr<tcp_socket<char>> socket;
  std::string host;
  int port = 0;
  bool secure = false;
  int connect_timeout_ms = connect_timeout_default_ms;
  int read_timeout_ms = read_timeout_default_ms;

 private:
  // The socket pointer is replaced by the worker's `connect` while the window thread's
  // `close` may read it; both hold this lock for the pointer only, never for a blocking call.
  std::shared_ptr<tcp_socket<char>> current();
  std::mutex guard;
  // The next piece of the response, once one arrives within `read_timeout_ms`.
  std::string next_piece();
  // One read of the socket, watched by the watchdog.
  std::string socket_recv(int maximum);
  int socket_send(const char* data, int length);
  // The TLS layer of the current connection, when secure; the worker's alone.
  std::unique_ptr<tls_channel> tls;
  // Data decrypted but not yet asked for.
  std::string plain_pending;

  // The read time-out. A wait call before every read (select) costs about as much as the
  // read itself under Wine, so reads block plainly and a watchdog thread closes the socket
  // of a read that has waited too long, the way a cancel does; started at the first
  // connect, asleep between connections.
  void wake_watchdog();
  static DWORD WINAPI watch(void* self);
  HANDLE watchdog = nullptr;
  HANDLE watchdog_wake = nullptr;
  HANDLE watchdog_stop = nullptr;
  // A read is in progress, since when (GetTickCount).
  std::atomic<bool> reading{false};
  std::atomic<DWORD> read_since{0};
  // The watchdog ended the current connection's read.
  std::atomic<bool> read_timed_out{false};
  // Set by `close`, cleared by `clear_cancel` only: a cancel that lands before the new
  // socket has a handle, or before `connect` is even called, must still stop that connect.
  bool cancelled = false;
  // Bytes read past the end of the previous response on this connection.
  std::string pending;
};

}  // namespace net
