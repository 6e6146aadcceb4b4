#pragma once
// The server's certificate failed the program's own check: the connection ends before any
// request is sent. Portable, so that the status line can name the reason in plain words.

#include <string>

#include "net/net_exception.hpp"

namespace net {

enum class certificate_problem {
  untrusted,      // no chain to a root the system trusts (self-signed, unknown authority)
  expired,        // outside its validity dates, or one in its chain is
  wrong_name,     // made out for another host
  bad_signature,  // a signature in the chain does not verify
  revoked,
  wrong_usage,    // not made out for a web server
  other,
};

// "TLS certificate refused <code>: <the system's text>", the code being the check's own
// (a policy error, or the failure of the call that was to make the check).
struct certificate_refused : net_exception {
  certificate_refused(certificate_problem problem_, unsigned long code_, const std::string& system_text_)
      : net_exception(error_kind::certificate_refused, "TLS certificate refused", code_, system_text_),
        problem(problem_) {}
  certificate_problem problem;
};

}  // namespace net
