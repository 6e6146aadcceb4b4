// The chain's parameters with their time limit for fetching revocation lists (declared only
// with this, before the first inclusion of wincrypt.h).
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "net/certificate_check.hpp"

#include <atomic>
#include <cstring>
#include <vector>

#include "net/address_literal.hpp"
#include "net/certificate_verdict.hpp"
#include "win32/last_error.hpp"

namespace net {

static_assert(policy_error::cert_signature == static_cast<std::uint32_t>(TRUST_E_CERT_SIGNATURE), "");
static_assert(policy_error::expired == static_cast<std::uint32_t>(CERT_E_EXPIRED), "");
static_assert(policy_error::validity_period_nesting == static_cast<std::uint32_t>(CERT_E_VALIDITYPERIODNESTING), "");
static_assert(policy_error::untrusted_root == static_cast<std::uint32_t>(CERT_E_UNTRUSTEDROOT), "");
static_assert(policy_error::chaining == static_cast<std::uint32_t>(CERT_E_CHAINING), "");
static_assert(policy_error::revoked == static_cast<std::uint32_t>(CERT_E_REVOKED), "");
static_assert(policy_error::untrusted_test_root == static_cast<std::uint32_t>(CERT_E_UNTRUSTEDTESTROOT), "");
static_assert(policy_error::cn_no_match == static_cast<std::uint32_t>(CERT_E_CN_NO_MATCH), "");
static_assert(policy_error::wrong_usage == static_cast<std::uint32_t>(CERT_E_WRONG_USAGE), "");
static_assert(chain_status::revoked == CERT_TRUST_IS_REVOKED, "");
static_assert(chain_status::revocation_unknown == CERT_TRUST_REVOCATION_STATUS_UNKNOWN, "");
static_assert(chain_status::offline_revocation == CERT_TRUST_IS_OFFLINE_REVOCATION, "");

namespace {

[[noreturn]] void refuse(certificate_problem problem, DWORD code) {
  throw certificate_refused(problem, code, win32::system_text(code));
}

// Whether the certificate names this address among its subject alternative names (RFC 5280
// 4.2.1.6: iPAddress, four or sixteen bytes). Wine's SSL policy matches only names.
bool names_address(PCCERT_CONTEXT cert, const std::vector<unsigned char>& address) {
  PCERT_EXTENSION ext = CertFindExtension(szOID_SUBJECT_ALT_NAME2, cert->pCertInfo->cExtension,
                                          cert->pCertInfo->rgExtension);
  if (!ext) return false;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData, ext->Value.cbData,
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
    return false;
  bool found = false;
  for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
    const CERT_ALT_NAME_ENTRY& e = names->rgAltEntry[i];
    found = e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && e.IPAddress.cbData == address.size() &&
            std::memcmp(e.IPAddress.pbData, address.data(), address.size()) == 0;
  }
  LocalFree(names);
  return found;
}

// -- revocation --
// The system may take this long, in all, to fetch the lists and answers that say whether the
// chain's certificates were revoked; the check waits a little longer for it, since Wine does
// not keep to it (a server that accepts the connection and never answers holds the fetch for
// minutes). Fetches still running after the wait are left to end by themselves, this many at
// most; beyond them a check goes without.
constexpr DWORD revocation_retrieval_ms = 3000;
constexpr DWORD revocation_wait_ms = 4000;
constexpr long max_revocation_fetches = 8;
std::atomic<long> revocation_fetches{0};

// One check of revocation, shared by the check that waits for it and the thread that asks the
// system; the last of the two to let go frees it.
struct revocation_check {
  PCCERT_CONTEXT cert;
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<long> holders{2};
  DWORD chain_errors = 0;
  bool built = false;

  explicit revocation_check(PCCERT_CONTEXT c) : cert(CertDuplicateCertificateContext(c)) {}
  ~revocation_check() {
    CertFreeCertificateContext(cert);
    if (done) CloseHandle(done);
  }
  void release() {
    if (--holders == 0) delete this;
  }
};

DWORD WINAPI fetch_revocation(void* p) {
  revocation_check* check = static_cast<revocation_check*>(p);
  // Every certificate of the chain but the root, which nobody above it could revoke; the
  // time limit counts for all of them together.
  CERT_CHAIN_PARA para = {};
  para.cbSize = sizeof para;
  para.dwUrlRetrievalTimeout = revocation_retrieval_ms;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (CertGetCertificateChain(nullptr, check->cert, nullptr, check->cert->hCertStore, &para,
                              CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                  CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                              nullptr, &chain)) {
    check->chain_errors = chain->TrustStatus.dwErrorStatus;
    check->built = true;
    CertFreeCertificateChain(chain);
  }
  SetEvent(check->done);
  --revocation_fetches;
  check->release();
  return 0;
}

// Refuses a certificate whose chain has a revoked certificate. Whether it is revoked comes
// from a chain built again with revocation checking, on a thread of its own, so that the wait
// for it stays within `revocation_wait_ms`.
void check_revocation(PCCERT_CONTEXT cert) {
  if (++revocation_fetches > max_revocation_fetches) {
    --revocation_fetches;
    return;
  }
  revocation_check* check = new revocation_check(cert);
  HANDLE thread = check->done ? CreateThread(nullptr, 0, fetch_revocation, check, 0, nullptr) : nullptr;
  if (!thread) {
    --revocation_fetches;
    delete check;
    return;
  }
  CloseHandle(thread);
  const bool in_time = WaitForSingleObject(check->done, revocation_wait_ms) == WAIT_OBJECT_0 && check->built;
  const std::uint32_t code = revocation_refusal(in_time, in_time ? check->chain_errors : 0);
  check->release();
  if (code != policy_error::none) refuse(problem_of(code), code);
}

// Frees the chain, whichever way the check ends.
struct chain_hold {
  ~chain_hold() {
    if (chain) CertFreeCertificateChain(chain);
  }
  PCCERT_CHAIN_CONTEXT chain = nullptr;
};

}  // namespace

void check_certificate(PCCERT_CONTEXT cert, const std::string& host) {
  // The chain from the server's certificate to a root of the user's or the machine's store;
  // the intermediates the server sent are in the certificate's own store.
  LPSTR server_auth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chain_para = {};
  chain_para.cbSize = sizeof chain_para;
  chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
  chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = server_auth;
  chain_hold hold;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &chain_para, 0, nullptr, &hold.chain))
    refuse(certificate_problem::other, GetLastError());

  // The SSL policy checks the chain's trust, every date and the name. For an address literal
  // the name is left out here and the certificate's addresses are compared after.
  const std::vector<unsigned char> address = address_literal(host);
  const bool literal = !address.empty();
  std::wstring wide_host(host.begin(), host.end());
  HTTPSPolicyCallbackData ssl = {};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = 0;
  ssl.pwszServerName = literal ? nullptr : &wide_host[0];
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS verdict = {};
  verdict.cbSize = sizeof verdict;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, hold.chain, &policy, &verdict))
    refuse(certificate_problem::other, GetLastError());
  const std::uint32_t code =
      refusal_code(verdict.dwError, literal, literal && verdict.dwError == 0 && names_address(cert, address));
  if (code != policy_error::none) refuse(problem_of(code), code);
  check_revocation(cert);
}

void prepare_certificate_check() {
  HCERTSTORE root = CertOpenSystemStoreA(0, "ROOT");
  if (!root) return;
  if (PCCERT_CONTEXT any = CertEnumCertificatesInStore(root, nullptr)) {
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (CertGetCertificateChain(nullptr, any, nullptr, nullptr, &para, 0, nullptr, &chain))
      CertFreeCertificateChain(chain);
    CertFreeCertificateContext(any);
  }
  CertCloseStore(root, 0);
}

}  // namespace net
