#pragma once
// What the certificate check concludes from what the system found: whether a certificate is
// refused, with which code, and the reason in plain terms. No system call here, so that the
// decision can be tested anywhere; the codes are the system's own (wincrypt's CERT_E_* and
// TRUST_E_* values), written out so that no Windows header is needed (net/certificate_check
// holds them against the system's).

#include <cstdint>

#include "net/certificate_refused.hpp"

namespace net {

// The SSL policy's errors (CERT_CHAIN_POLICY_STATUS.dwError) the check tells apart.
namespace policy_error {
constexpr std::uint32_t none = 0;
constexpr std::uint32_t cert_signature = 0x80096004;           // TRUST_E_CERT_SIGNATURE
constexpr std::uint32_t expired = 0x800B0101;                  // CERT_E_EXPIRED
constexpr std::uint32_t validity_period_nesting = 0x800B0102;  // CERT_E_VALIDITYPERIODNESTING
constexpr std::uint32_t untrusted_root = 0x800B0109;           // CERT_E_UNTRUSTEDROOT
constexpr std::uint32_t chaining = 0x800B010A;                 // CERT_E_CHAINING
constexpr std::uint32_t revoked = 0x800B010C;                  // CERT_E_REVOKED
constexpr std::uint32_t untrusted_test_root = 0x800B010D;      // CERT_E_UNTRUSTEDTESTROOT
constexpr std::uint32_t cn_no_match = 0x800B010F;              // CERT_E_CN_NO_MATCH
constexpr std::uint32_t wrong_usage = 0x800B0110;              // CERT_E_WRONG_USAGE
}  // namespace policy_error

// The bits of a chain's trust status (CERT_CHAIN_CONTEXT.TrustStatus.dwErrorStatus, wincrypt's
// CERT_TRUST_* values) that its revocation check sets.
namespace chain_status {
constexpr std::uint32_t revoked = 0x4;                    // CERT_TRUST_IS_REVOKED
constexpr std::uint32_t revocation_unknown = 0x40;        // CERT_TRUST_REVOCATION_STATUS_UNKNOWN
constexpr std::uint32_t offline_revocation = 0x1000000;   // CERT_TRUST_IS_OFFLINE_REVOCATION
}  // namespace chain_status

// The code that refuses the certificate, `policy_error::none` to accept it: the SSL policy's
// own error, else, for a host written as an address (whose name the policy was not asked to
// match), `cn_no_match` unless the certificate names that address.
std::uint32_t refusal_code(std::uint32_t policy_error, bool address_literal, bool names_address);

// The code that refuses the certificate for what the check of its revocation found, as
// browsers on Windows decide: `policy_error::revoked` when the chain built with revocation
// checking (`chain_errors`, its trust status) has a revoked certificate; none when it has not,
// or when revocation could not be checked (no list or answer to be had, the server out of
// reach) or the check did not end in time (`in_time` false), which refuse nothing.
std::uint32_t revocation_refusal(bool in_time, std::uint32_t chain_errors);

// The reason a refusal code gives, for the status line.
certificate_problem problem_of(std::uint32_t code);

}  // namespace net
