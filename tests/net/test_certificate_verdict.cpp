#include "net/certificate_verdict.hpp"

#include <gtest/gtest.h>

// The policy's error decides, and for an address literal the certificate's own addresses do.
TEST(CertificateVerdict, RefusalsAndTheirReasons) {
  namespace error = net::policy_error;
  EXPECT_EQ(error::none, net::refusal_code(error::none, false, false));
  EXPECT_EQ(error::none, net::refusal_code(error::none, true, true));
  EXPECT_EQ(error::cn_no_match, net::refusal_code(error::none, true, false));
  // A chain refused for itself says so, whatever the address.
  EXPECT_EQ(error::expired, net::refusal_code(error::expired, true, false));
  EXPECT_EQ(error::untrusted_root, net::refusal_code(error::untrusted_root, false, false));

  using net::certificate_problem;
  EXPECT_EQ(certificate_problem::untrusted, net::problem_of(error::untrusted_root));
  EXPECT_EQ(certificate_problem::untrusted, net::problem_of(error::chaining));
  EXPECT_EQ(certificate_problem::untrusted, net::problem_of(error::untrusted_test_root));
  EXPECT_EQ(certificate_problem::expired, net::problem_of(error::expired));
  EXPECT_EQ(certificate_problem::expired, net::problem_of(error::validity_period_nesting));
  EXPECT_EQ(certificate_problem::wrong_name, net::problem_of(error::cn_no_match));
  EXPECT_EQ(certificate_problem::bad_signature, net::problem_of(error::cert_signature));
  EXPECT_EQ(certificate_problem::revoked, net::problem_of(error::revoked));
  EXPECT_EQ(certificate_problem::wrong_usage, net::problem_of(error::wrong_usage));
  // Anything else, such as the failure of the call that was to make the check (here
  // SEC_E_INTERNAL_ERROR), is refused without a named reason.
  EXPECT_EQ(certificate_problem::other, net::problem_of(0x80090304));
}

// Revoked refuses; a revocation server out of reach, or a check that took too long, does not.
TEST(CertificateVerdict, RevocationAsBrowsersDecide) {
  namespace error = net::policy_error;
  namespace status = net::chain_status;
  EXPECT_EQ(error::revoked, net::revocation_refusal(true, status::revoked));
  EXPECT_EQ(error::revoked, net::revocation_refusal(true, status::revoked | status::revocation_unknown));
  EXPECT_EQ(error::none, net::revocation_refusal(true, 0));
  EXPECT_EQ(error::none, net::revocation_refusal(true, status::offline_revocation));
  EXPECT_EQ(error::none, net::revocation_refusal(true, status::revocation_unknown | status::offline_revocation));
  // Bits the check of revocation does not set are the policy's business, not this one's.
  EXPECT_EQ(error::none, net::revocation_refusal(true, 0x20 /* CERT_TRUST_IS_UNTRUSTED_ROOT */));
  EXPECT_EQ(error::none, net::revocation_refusal(false, status::revoked));
  EXPECT_EQ(net::certificate_problem::revoked, net::problem_of(net::revocation_refusal(true, status::revoked)));
}
