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

struct certificate_refused : net_exception {
  certificate_refused(certificate_problem problem_, const std::string& message)
      : net_exception(message), problem(problem_) {}
  certificate_problem problem;
};

}  // namespace net
