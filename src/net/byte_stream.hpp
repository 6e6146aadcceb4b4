#pragma once
// The bytes of one connection as the HTTP client writes and reads them, whatever carries
// them: each carrier (the plain socket, TLS) is an implementation of this interface, and one
// may sit on another (TLS on the socket). The client holds the top one and never asks which
// it is; a failed carrier fails every later call rather than let bytes past it.

#include <cstddef>
#include <string>

namespace net {

class byte_stream {
 public:
  virtual ~byte_stream() = default;

  // Writes every byte, or throws net_exception ("socket send error N: ...").
  virtual void send(const char* data, std::size_t length) = 0;
  // The next bytes received, at most `maximum`; empty once the stream ended: the peer closed
  // it, the read failed (the system's last error then says why) or this side closed the
  // connection. Throws for bytes the carrier's own protocol does not allow.
  virtual std::string recv(std::size_t maximum) = 0;
  // Ends the stream in order where the carrier has one (close_notify over TLS), then closes
  // the connection. Never throws: an end that cannot be said is left unsaid.
  virtual void close() = 0;
};

}  // namespace net
