#pragma once
// TLS over a connection the caller owns, through the system's SChannel: the handshake with
// the host's name sent (SNI), the server's certificate checked by the program itself (the
// system's roots, the dates, the name), records written and read, close_notify at the end.
// Every SSPI call, buffer type and status code is in tls_channel.cpp; the framing of
// received records is net/tls_record.
//
// One thread uses a channel. Another thread ends it only by closing the connection under it:
// the calls blocked in `read` or `write` then fail, and so does the channel.

#include <functional>
#include <memory>
#include <string>

namespace net {

class tls_channel {
 public:
  // Writes bytes to the connection: the count taken, or <= 0 with the system's error set.
  using writer = std::function<int(const char* data, int length)>;
  // The next bytes received, empty once the connection closed or failed.
  using reader = std::function<std::string()>;

  tls_channel(const std::string& host, writer write, reader read);
  ~tls_channel();
  tls_channel(const tls_channel&) = delete;
  tls_channel& operator=(const tls_channel&) = delete;

  // The handshake, then the certificate check. Throws net_exception "TLS handshake error N:
  // <system text>" (a closed connection gives the socket's code), or certificate_refused
  // naming what was wrong with the certificate.
  void handshake();
  // Encrypts and writes every byte: `data.size()`, or SOCKET_ERROR with the system's error set
  // when the connection failed.
  int send(const std::string& data);
  // The next piece of application data; empty once the peer sent close_notify or the
  // connection closed. Throws "TLS record error N: ..." for a record that does not decrypt,
  // "TLS record malformed (...)" for bytes that are not records.
  std::string recv();
  // Sends close_notify, once; a connection that failed meanwhile is not written to again.
  void shutdown();

 private:
  struct state;
  std::unique_ptr<state> s;
};

// Readies the system's TLS provider and its store of trusted roots on a thread of their own,
// so that the first connection does not wait for them (a few hundred milliseconds under Wine,
// once per process). Touches no network; nothing comes back, and a failure here shows again,
// with its reason, at the first connection.
void prepare_tls();

}  // namespace net
