#pragma once
// TLS over a byte stream, through the system's SChannel: the handshake with the host's name
// sent (SNI; none for an address), the server's certificate checked (net/certificate_check),
// records written and read, close_notify at the end. Every SSPI call, buffer type and status code is in
// tls_channel.cpp; the framing of received records is net/tls_record.
//
// One thread uses a channel. Another thread ends it only by closing the connection under it:
// the calls blocked in the stream below then fail, and so does the channel.

#include <cstddef>
#include <memory>
#include <string>

#include "net/byte_stream.hpp"

namespace net {

// Encrypted bytes asked of the stream below at once: at least a whole record of the largest
// size, so that a record rarely costs two reads (each a system call that Wine makes dear).
constexpr std::size_t tls_read_bytes = 32 * 1024;

class tls_channel : public byte_stream {
 public:
  // Over `lower`, the connection's own bytes, which the channel owns from now on.
  tls_channel(const std::string& host, std::unique_ptr<byte_stream> lower);
  ~tls_channel() override;
  tls_channel(const tls_channel&) = delete;
  tls_channel& operator=(const tls_channel&) = delete;

  // The handshake, then the certificate check. Throws net_exception "TLS handshake error N:
  // <system text>" (a closed connection gives the socket's code), or certificate_refused
  // naming what was wrong with the certificate. Nothing is sent or received before it
  // succeeds.
  void handshake();
  // Encrypts and writes every byte. Throws "socket send error N: ..." when the connection or
  // the encryption failed, or there is no channel yet (10057).
  void send(const char* data, std::size_t length) override;
  // The next application data, at most `maximum`; empty once the peer sent close_notify or
  // the connection closed. Throws "TLS record error N: ..." for a record that does not
  // decrypt, "TLS record malformed (...)" for bytes that are not records.
  std::string recv(std::size_t maximum) override;
  // Sends close_notify, once, unless the connection failed meanwhile; then closes it.
  void close() override;

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
