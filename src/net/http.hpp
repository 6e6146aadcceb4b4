#pragma once
// The HTTP/1.1 client: one keep-alive connection to one server, POST requests of form
// bodies and whole responses read back. Over TLS when told so: the client writes and reads
// one byte stream (net/byte_stream) either way, and the records are net/tls_channel's
// business.

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "net/byte_stream.hpp"
#include "net/http_message.hpp"
#include "net/socket_stream.hpp"
#include "net/tcp_socket.hpp"
#include "net/time_limits.hpp"

namespace net {

// How often the read watchdog looks at a read in progress, and how long it watches a
// connection that reads nothing before it sleeps until the next connect.
constexpr DWORD watch_slice_ms = 50;
constexpr DWORD watch_idle_ms = 5 * 1000;

class http {
 public:
  http() = default;
  ~http();
  http(const http&) = delete;
  http& operator=(const http&) = delete;

  // Replaces the connection with a new one to `host` and `port`; the previous one is ended
  // first (with close_notify over TLS). A name is looked up first (net/name_lookup), and its
  // addresses race as RFC 8305 says (net/tcp_socket). Throws "host name lookup error N: ..."
  // (kind name_not_found for a name without an address), the socket's "socket connect
  // error", and "... timed out ..." once `connect_timeout_ms` have passed since the lookup
  // began. A secure client then shakes hands and checks the server's certificate: "TLS
  // handshake error N: ...", "TLS handshake timed out (no byte for N ms)" after
  // `read_timeout_ms`, or net::certificate_refused, before any request can be sent: until the
  // handshake is done there is no stream to send through. Any failure a cancel caused has the
  // kind cancelled.
  virtual void connect();
  // Cancels: closes the current socket so that a connect, send or recv blocked on it in
  // another thread fails promptly, and makes every later `connect` fail at once until
  // `clear_cancel`. Never waits for that thread, so no close_notify is sent.
  virtual void close();
  // Closes the current connection as the peer closing it would, not as a cancel: the next
  // `connect` opens a new one. For the thread that uses the connection, once it has nothing
  // more to ask on it.
  void disconnect();
  // The connection's bytes, decrypted or encrypted on the way when secure. `send` writes
  // every byte and returns their count, or throws "socket send error N: ..." (10057 when
  // there is no connection); `recv` gives an empty text once the connection closed, and over
  // TLS throws for a record that does not decrypt.
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
  // byte, "http_resp timed out (not whole after N ms)" (kind too_slow) when the whole reply
  // takes longer than `reply_timeout_ms`, besides the message errors; those a cancel caused
  // have the kind cancelled. After any failure the connection is closed: where the next
  // reply would start is not known. A body sent compressed comes back inflated
  // (net/content_coding), or the reply is refused.
  http_resp read_response();

  std::shared_ptr<tcp_socket<char>> socket;
  // A name, or an address as net/address_literal reads it (IPv6 without brackets).
  std::string host;
  int port = 0;
  bool secure = false;
  int connect_timeout_ms = connect_timeout_default_ms;
  int read_timeout_ms = read_timeout_default_ms;
  int reply_timeout_ms = reply_timeout_default_ms;

 private:
  // The socket pointer is replaced by the worker's `connect` while the window thread's
  // `close` may read it; both hold this lock for the pointer only, never for a blocking call.
  std::shared_ptr<tcp_socket<char>> current();
  std::mutex guard;
  // The next piece of the response, once one arrives within `read_timeout_ms`.
  std::string next_piece();
  // Ends the current stream in order, if there is one.
  void end_stream();
  // A failure a cancel caused is the cancel's, whatever the call saw of it.
  void blame_cancel(net_exception& e);
  // The current connection's bytes: the plain socket's, or TLS over them once the handshake
  // is done; none before. The worker's alone.
  std::unique_ptr<byte_stream> stream;

  // The read time-out. A wait call before every read (select) costs about as much as the
  // read itself under Wine, so reads block plainly and a watchdog thread closes the socket
  // of a read that has waited too long, the way a cancel does; started at the first
  // connect, asleep between connections.
  void wake_watchdog();
  static DWORD WINAPI watch(void* self);
  HANDLE watchdog = nullptr;
  HANDLE watchdog_wake = nullptr;
  HANDLE watchdog_stop = nullptr;
  // The socket's reads, for the watchdog.
  read_watch watched;
  // The watchdog ended the current connection's read; `reply_timed_out` too, because the
  // whole reply took too long.
  std::atomic<bool> read_timed_out{false};
  std::atomic<bool> reply_timed_out{false};
  // A reply is being read, since when (GetTickCount), for the watchdog.
  std::atomic<bool> replying{false};
  std::atomic<DWORD> reply_since{0};
  // Set by `close`, cleared by `clear_cancel` only: a cancel that lands before the new
  // socket has a handle, or before `connect` is even called, must still stop that connect.
  bool cancelled = false;
  // Bytes read past the end of the previous response on this connection.
  std::string pending;
};

}  // namespace net
