#pragma once
// The networking library's one exception type. Its kind and the system's code say what went
// wrong, for code that decides what to do next (retry, the status line); its message says it
// for people and is never read by the program.

#include <stdexcept>
#include <string>

namespace net {

enum class error_kind {
  refused,              // nothing accepts connections at the address
  timed_out,            // the peer did not answer in time (the client's limits or the system's)
  too_slow,             // the reply kept coming, but not whole within the client's limit
  closed,               // the connection closed or was reset before the exchange was over
  name_not_found,       // the host name has no address
  tls_handshake,        // the TLS handshake failed (the provider, an alert, the peer hung up)
  certificate_refused,  // the server's certificate failed the check (net::certificate_refused)
  malformed_reply,      // bytes that are not HTTP or not TLS records, or over a limit
  cancelled,            // this side closed the connection under the call (a cancel)
  other,                // any other failure of a system call
};

struct net_exception : std::runtime_error {
  // A failure the client found itself: no system code.
  net_exception(error_kind kind_, const std::string& message) : std::runtime_error(message), kind(kind_) {}
  // A failed system call: the message is `what`, a space, the code in decimal, ": " and the
  // system's text for the code as the system wrote it (normally ending with "\r\n").
  net_exception(error_kind kind_, const std::string& what, unsigned long code_, const std::string& system_text_)
      : std::runtime_error(what + " " + std::to_string(code_) + ": " + system_text_),
        kind(kind_),
        code(code_),
        system_text(system_text_) {}

  error_kind kind;
  // The system's error code (a Winsock error, an SSPI status, a certificate policy error);
  // 0 when the system reported none.
  unsigned long code = 0;
  // What the system says about `code`; empty when there is no code or the system has no text.
  std::string system_text;
};

}  // namespace net
