#include "net/certificate_verdict.hpp"

namespace net {

std::uint32_t refusal_code(std::uint32_t policy_error, bool address_literal, bool names_address) {
  if (policy_error != policy_error::none) return policy_error;
  // RFC 6125 6.2.1 / RFC 5280 4.2.1.6: an address is matched against iPAddress entries only.
  if (address_literal && !names_address) return policy_error::cn_no_match;
  return policy_error::none;
}

std::uint32_t revocation_refusal(bool in_time, std::uint32_t chain_errors) {
  // RFC 5280 6.3: a certificate on its issuer's list is refused; a list that cannot be had
  // leaves the question open, and an open question does not refuse.
  if (in_time && (chain_errors & chain_status::revoked)) return policy_error::revoked;
  return policy_error::none;
}

certificate_problem problem_of(std::uint32_t code) {
  switch (code) {
    case policy_error::untrusted_root:
    case policy_error::chaining:
    case policy_error::untrusted_test_root:
      return certificate_problem::untrusted;
    case policy_error::expired:
    case policy_error::validity_period_nesting:
      return certificate_problem::expired;
    case policy_error::cn_no_match:
      return certificate_problem::wrong_name;
    case policy_error::cert_signature:
      return certificate_problem::bad_signature;
    case policy_error::revoked:
      return certificate_problem::revoked;
    case policy_error::wrong_usage:
      return certificate_problem::wrong_usage;
    default:
      return certificate_problem::other;
  }
}

}  // namespace net
