// TLS through SChannel (SSPI), as measured under Wine 8 and documented for Windows.
//
// Sections:
//   -- credentials and context --
//   -- the handshake --
//   -- the certificate check --
//   -- records --
//   -- preparing ahead --
//   -- the channel: sending, receiving, close_notify --

#include "net/tls_channel.hpp"

#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>
// The newer credentials (SCH_CREDENTIALS) are declared only with this.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "net/certificate_refused.hpp"
#include "net/tls_record.hpp"
#include "win32/last_error.hpp"

namespace net {

namespace {

// -- limits --
// Handshake bytes received and not yet taken by SChannel. It takes each record as it
// completes, so this holds about one record; the limit only stops a peer that sends without
// end.
constexpr std::size_t max_handshake_pending = 256 * 1024;

// Stream, confidentiality and integrity; the buffers SChannel gives back are its own.
constexpr ULONG context_requests = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                   ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

[[noreturn]] void fail(const char* what, DWORD code) {
  SetLastError(code);
  throw net_exception(win32::last_error_text(what));
}

// A buffer SChannel allocated, freed whatever happens.
struct context_buffer {
  explicit context_buffer(void* p_) : p(p_) {}
  ~context_buffer() {
    if (p) FreeContextBuffer(p);
  }
  void* p;
};

// The text of a certificate failure for standard output: the reason and the code.
std::string refused_text(DWORD code) {
  SetLastError(code);
  return win32::last_error_text("TLS certificate refused");
}

}  // namespace

// -- credentials and context --

struct tls_channel::state {
  std::string host;
  writer write;
  reader read;
  CredHandle credentials = {};
  CtxtHandle context = {};
  bool have_credentials = false;
  bool have_context = false;
  bool established = false;
  // The connection failed under a send or the peer closed: nothing more is written.
  bool dead = false;
  bool closed_sent = false;
  SecPkgContext_StreamSizes sizes = {};
  // Application data that came with the handshake's last record.
  std::string early;
  tls_record_reader records{[this](const std::string& record) { return decrypt(record); }};

  ~state() {
    if (have_context) DeleteSecurityContext(&context);
    if (have_credentials) FreeCredentialsHandle(&credentials);
  }

  void acquire();
  bool write_all(const char* data, std::size_t length);
  void send_token(SecBuffer& token);
  void handshake();
  void check_certificate();
  tls_plain decrypt(const std::string& record);
};

namespace {

SECURITY_STATUS acquire_credentials(CredHandle& credentials) {
  // TLS 1.2 and 1.3 named: left at 0 the system also offers TLS 1.0, 1.1 and SSL 3. The
  // system's own check of the server's certificate is off (Wine's accepts anything); the
  // program makes its own after the handshake.
  SCHANNEL_CRED cred = {};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
  cred.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
  TimeStamp expiry;
  SECURITY_STATUS status = AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                                     nullptr, &cred, nullptr, nullptr, &credentials, &expiry);
  if (status == SEC_E_OK) return status;
  // Systems that know TLS 1.3 only through the newer structure: everything below 1.2 off.
  TLS_PARAMETERS parameters = {};
  parameters.grbitDisabledProtocols = ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
  SCH_CREDENTIALS newer = {};
  newer.dwVersion = SCH_CREDENTIALS_VERSION;
  newer.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
  newer.cTlsParameters = 1;
  newer.pTlsParameters = &parameters;
  return AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, &newer,
                                   nullptr, nullptr, &credentials, &expiry);
}

}  // namespace

void tls_channel::state::acquire() {
  const SECURITY_STATUS status = acquire_credentials(credentials);
  if (status != SEC_E_OK) fail("TLS credentials error", static_cast<DWORD>(status));
  have_credentials = true;
}

bool tls_channel::state::write_all(const char* data, std::size_t length) {
  while (length > 0) {
    const int piece = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
    const int sent = write(data, piece);
    if (sent <= 0) {
      if (sent == 0) WSASetLastError(WSAECONNRESET);
      dead = true;
      return false;
    }
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

void tls_channel::state::send_token(SecBuffer& token) {
  context_buffer owned(token.pvBuffer);
  if (token.pvBuffer && token.cbBuffer > 0 && !dead) write_all(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
}

// -- the handshake --

void tls_channel::state::handshake() {
  acquire();
  std::string received;
  bool first = true;
  bool read_first = false;
  bool asked_for_certificate = false;
  for (;;) {
    if (read_first) {
      std::string piece = read();
      // The socket's own error (or a reset) says why: closed by the peer, by a cancel or by
      // the read time-out.
      if (piece.empty()) {
        const int code = WSAGetLastError();
        fail("TLS handshake error", code ? static_cast<DWORD>(code) : static_cast<DWORD>(WSAECONNRESET));
      }
      if (piece.size() > max_handshake_pending - received.size())
        throw net_exception("TLS handshake malformed (more than " + std::to_string(max_handshake_pending) +
                            " bytes pending)");
      received += piece;
    }
    // In: everything received so far and a buffer for what SChannel leaves over. Out: the
    // next token to send, and an alert on failure.
    SecBuffer in[2] = {{static_cast<ULONG>(received.size()), SECBUFFER_TOKEN, received.empty() ? nullptr : &received[0]},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_desc = {SECBUFFER_VERSION, 2, in};
    SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
    SecBufferDesc out_desc = {SECBUFFER_VERSION, 2, out};
    ULONG attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status = InitializeSecurityContextA(
        &credentials, first ? nullptr : &context, const_cast<char*>(host.c_str()), context_requests, 0, 0,
        first ? nullptr : &in_desc, 0, first ? &context : nullptr, &out_desc, &attributes, &expiry);
    if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) have_context = true;
    first = false;
    // A token goes out whatever the status: on failure it may be the alert that says why.
    send_token(out[0]);
    context_buffer alert(out[1].pvBuffer);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      read_first = true;
      continue;
    }
    if (status == SEC_I_INCOMPLETE_CREDENTIALS && !asked_for_certificate) {
      // The server asked for a client certificate. There is none: the same bytes again, and
      // the handshake goes on without one.
      asked_for_certificate = true;
      read_first = false;
      continue;
    }
    if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_OK) fail("TLS handshake error", static_cast<DWORD>(status));
    if (dead) fail("TLS handshake error", static_cast<DWORD>(WSAGetLastError()));
    // The bytes SChannel did not take are the start of the next record: the last cbBuffer of
    // what was handed in.
    if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= received.size())
      received.erase(0, received.size() - in[1].cbBuffer);
    else
      received.clear();
    if (status == SEC_E_OK) {
      early = received;
      break;
    }
    // Read only when SChannel took everything.
    read_first = received.empty();
  }
  const SECURITY_STATUS status = QueryContextAttributesA(&context, SECPKG_ATTR_STREAM_SIZES, &sizes);
  if (status != SEC_E_OK) fail("TLS handshake error", static_cast<DWORD>(status));
  check_certificate();
  established = true;
}

// -- the certificate check --

namespace {

// The four bytes of a dotted IPv4 literal, or false for a host name.
bool ipv4_literal(const std::string& host, unsigned char out[4]) {
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= host.size() || host[at] != '.') return false;
      ++at;
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (at < host.size() && host[at] >= '0' && host[at] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(host[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || value > 255) return false;
    out[part] = static_cast<unsigned char>(value);
  }
  return at == host.size();
}

// Whether the certificate names this IPv4 address among its subject alternative names
// (RFC 6125 6.2.1 / RFC 5280 4.2.1.6: iPAddress, four bytes). Wine's SSL policy matches only
// names, so address literals are compared here.
bool names_address(PCCERT_CONTEXT cert, const unsigned char address[4]) {
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
    found = e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && e.IPAddress.cbData == 4 &&
            std::memcmp(e.IPAddress.pbData, address, 4) == 0;
  }
  LocalFree(names);
  return found;
}

certificate_problem problem_of(DWORD code) {
  switch (code) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
      return certificate_problem::untrusted;
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING):
      return certificate_problem::expired;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return certificate_problem::wrong_name;
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
      return certificate_problem::bad_signature;
    case static_cast<DWORD>(CERT_E_REVOKED):
      return certificate_problem::revoked;
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
      return certificate_problem::wrong_usage;
    default:
      return certificate_problem::other;
  }
}

// Frees what the check holds, whichever way it ends.
struct chain_hold {
  ~chain_hold() {
    if (chain) CertFreeCertificateChain(chain);
    if (cert) CertFreeCertificateContext(cert);
  }
  PCCERT_CONTEXT cert = nullptr;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
};

}  // namespace

void tls_channel::state::check_certificate() {
  chain_hold hold;
  SECURITY_STATUS status = QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &hold.cert);
  if (status != SEC_E_OK || !hold.cert)
    throw certificate_refused(certificate_problem::other, refused_text(static_cast<DWORD>(status)));

  // The chain from the server's certificate to a root of the user's or the machine's store;
  // the intermediates the server sent are in the certificate's own store.
  LPSTR server_auth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chain_para = {};
  chain_para.cbSize = sizeof chain_para;
  chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
  chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = server_auth;
  if (!CertGetCertificateChain(nullptr, hold.cert, nullptr, hold.cert->hCertStore, &chain_para, 0, nullptr,
                               &hold.chain))
    throw certificate_refused(certificate_problem::other, refused_text(GetLastError()));

  // The SSL policy checks the chain's trust, every date and the name. For an address literal
  // the name is left out here and the certificate's addresses are compared below.
  unsigned char address[4];
  const bool literal = ipv4_literal(host, address);
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
    throw certificate_refused(certificate_problem::other, refused_text(GetLastError()));
  DWORD error = verdict.dwError;
  if (error == 0 && literal && !names_address(hold.cert, address)) error = static_cast<DWORD>(CERT_E_CN_NO_MATCH);
  if (error != 0) throw certificate_refused(problem_of(error), refused_text(error));
}

// -- records --

tls_plain tls_channel::state::decrypt(const std::string& record) {
  std::string bytes = record;
  // Rebuilt for every call: SChannel rewrites the types. It decrypts in place and says where
  // the data lies by the buffer's type, not its position.
  SecBuffer b[4] = {{static_cast<ULONG>(bytes.size()), SECBUFFER_DATA, &bytes[0]},
                    {0, SECBUFFER_EMPTY, nullptr},
                    {0, SECBUFFER_EMPTY, nullptr},
                    {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
  const SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
  tls_plain plain;
  // Windows reports the peer's close_notify so; Wine decrypts it to nothing, which the
  // record reader recognises by the record's type.
  if (status == SEC_I_CONTEXT_EXPIRED) {
    plain.closed = true;
    return plain;
  }
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) fail("TLS record error", static_cast<DWORD>(status));
  for (const SecBuffer& buffer : b)
    if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer && buffer.cbBuffer > 0)
      plain.data.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
  if (status == SEC_I_RENEGOTIATE) {
    // A handshake message after the handshake (a TLS 1.3 session ticket, a TLS 1.2
    // renegotiation request). SChannel takes it through the context; a client that never
    // answers a renegotiation just goes on reading, as Wine, which cannot answer one, must.
    SecBuffer extra = {0, SECBUFFER_TOKEN, nullptr};
    for (SecBuffer& buffer : b)
      if (buffer.BufferType == SECBUFFER_EXTRA) extra = {buffer.cbBuffer, SECBUFFER_TOKEN, buffer.pvBuffer};
    SecBuffer in[2] = {extra, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_desc = {SECBUFFER_VERSION, 2, in};
    SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
    SecBufferDesc out_desc = {SECBUFFER_VERSION, 2, out};
    ULONG attributes = 0;
    TimeStamp expiry;
    InitializeSecurityContextA(&credentials, &context, const_cast<char*>(host.c_str()), context_requests, 0, 0,
                               &in_desc, 0, nullptr, &out_desc, &attributes, &expiry);
    send_token(out[0]);
    context_buffer alert(out[1].pvBuffer);
  }
  return plain;
}

// -- preparing ahead --

namespace {

DWORD WINAPI warm_up(void*) {
  // Loads the provider (GnuTLS behind it under Wine).
  CredHandle credentials;
  if (acquire_credentials(credentials) == SEC_E_OK) FreeCredentialsHandle(&credentials);
  // The first chain built in a process builds the engine's view of every root store.
  if (HCERTSTORE root = CertOpenSystemStoreA(0, "ROOT")) {
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
  return 0;
}

}  // namespace

void prepare_tls() {
  if (HANDLE thread = CreateThread(nullptr, 0, warm_up, nullptr, 0, nullptr)) CloseHandle(thread);
}

// -- the channel: sending, receiving, close_notify --

tls_channel::tls_channel(const std::string& host, writer write, reader read) : s(new state) {
  s->host = host;
  s->write = std::move(write);
  s->read = std::move(read);
}

tls_channel::~tls_channel() = default;

void tls_channel::handshake() { s->handshake(); }

int tls_channel::send(const std::string& data) {
  if (!s->established || s->dead) {
    WSASetLastError(WSAENOTCONN);
    return SOCKET_ERROR;
  }
  const std::size_t most = s->sizes.cbMaximumMessage;
  const std::size_t header = s->sizes.cbHeader;
  const std::size_t trailer = s->sizes.cbTrailer;
  std::string record;
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t n = std::min(most, data.size() - at);
    // One contiguous buffer: header, data, trailer; SChannel fills it in place.
    record.assign(header + n + trailer, '\0');
    std::memcpy(&record[header], data.data() + at, n);
    SecBuffer b[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, &record[0]},
                      {static_cast<ULONG>(n), SECBUFFER_DATA, &record[header]},
                      {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, &record[header + n]},
                      {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
    const SECURITY_STATUS status = EncryptMessage(&s->context, 0, &desc, 0);
    if (status != SEC_E_OK) {
      s->dead = true;
      SetLastError(static_cast<DWORD>(status));
      return SOCKET_ERROR;
    }
    // The trailer may be shorter than its room (a MAC or tag of the cipher's size).
    if (!s->write_all(record.data(), b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer)) return SOCKET_ERROR;
    at += n;
  }
  return static_cast<int>(data.size());
}

std::string tls_channel::recv() {
  if (!s->established) return std::string();
  for (;;) {
    std::string plain;
    if (!s->early.empty()) {
      plain = s->records.feed(s->early);
      s->early.clear();
    } else if (!s->records.closed()) {
      const std::string received = s->read();
      if (received.empty()) {
        s->dead = true;
        return std::string();
      }
      plain = s->records.feed(received);
    }
    if (!plain.empty()) return plain;
    if (s->records.closed()) {
      // A peer that closed waits for our close_notify before it lets go of the connection.
      shutdown();
      return std::string();
    }
  }
}

void tls_channel::shutdown() {
  if (!s->established || s->dead || s->closed_sent) return;
  s->closed_sent = true;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc control_desc = {SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&s->context, &control_desc) != SEC_E_OK) return;
  SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
  SecBufferDesc out_desc = {SECBUFFER_VERSION, 1, out};
  ULONG attributes = 0;
  TimeStamp expiry;
  // With nothing to read, the context writes the close_notify alert.
  InitializeSecurityContextA(&s->credentials, &s->context, const_cast<char*>(s->host.c_str()), context_requests, 0,
                             0, nullptr, 0, nullptr, &out_desc, &attributes, &expiry);
  s->send_token(out[0]);
}

}  // namespace net
