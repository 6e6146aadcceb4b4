// TLS through SChannel (SSPI), as measured under Wine 8 and documented for Windows.
//
// Sections:
//   -- credentials and context --
//   -- the handshake --
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
#include <cstring>

#include "net/address_literal.hpp"
#include "net/certificate_check.hpp"
#include "net/certificate_refused.hpp"
#include "net/system_error.hpp"
#include "net/tls_record.hpp"

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

[[noreturn]] void fail(error_kind kind, const char* what, DWORD code) {
  throw system_error(kind, what, code);
}

// A buffer SChannel allocated, freed whatever happens.
struct context_buffer {
  explicit context_buffer(void* p_) : p(p_) {}
  ~context_buffer() {
    if (p) FreeContextBuffer(p);
  }
  void* p;
};

}  // namespace

// -- credentials and context --

struct tls_channel::state {
  std::string host;
  // The name the handshake sends (SNI), or none for an address: RFC 6066 3 allows no literal.
  std::string sni;
  char* server_name() { return sni.empty() ? nullptr : &sni[0]; }
  std::unique_ptr<byte_stream> lower;
  CredHandle credentials = {};
  CtxtHandle context = {};
  bool have_credentials = false;
  bool have_context = false;
  bool established = false;
  // TLS 1.3 was negotiated: handshake messages after the handshake are answered, not refused.
  bool tls13 = false;
  // The connection failed under a send or the peer closed: nothing more is written. `why`:
  // the failed send's code.
  bool dead = false;
  unsigned long why = 0;
  bool closed_sent = false;
  SecPkgContext_StreamSizes sizes = {};
  // Application data that came with the handshake's last record.
  std::string early;
  // Data decrypted but not yet asked for: a record holds up to 16 KB.
  std::string plain;
  tls_record_reader records{[this](const std::string& record) { return decrypt(record); }};

  ~state() {
    if (have_context) DeleteSecurityContext(&context);
    if (have_credentials) FreeCredentialsHandle(&credentials);
  }

  void acquire();
  void write(const char* data, std::size_t length);
  void send_token(SecBuffer& token);
  void handshake();
  std::string negotiate(std::string received, bool first);
  void check_server_certificate();
  void answer_handshake();
  tls_plain decrypt(const std::string& record);
  void send_close_notify();
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
  if (status != SEC_E_OK) fail(error_kind::tls_handshake, "TLS credentials error", static_cast<DWORD>(status));
  have_credentials = true;
}

void tls_channel::state::write(const char* data, std::size_t length) {
  try {
    lower->send(data, length);
  } catch (const net_exception& e) {
    dead = true;
    why = e.code;
    throw;
  }
}

// A token goes out as far as the connection lets it; a failed send leaves the channel dead,
// for the caller to report after SChannel's own verdict.
void tls_channel::state::send_token(SecBuffer& token) {
  context_buffer owned(token.pvBuffer);
  if (!token.pvBuffer || token.cbBuffer == 0 || dead) return;
  try {
    write(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
  } catch (const net_exception&) {
  }
}

// -- the handshake --

void tls_channel::state::handshake() {
  acquire();
  early = negotiate(std::string(), true);
  SECURITY_STATUS status = QueryContextAttributesA(&context, SECPKG_ATTR_STREAM_SIZES, &sizes);
  if (status != SEC_E_OK) fail(error_kind::tls_handshake, "TLS handshake error", static_cast<DWORD>(status));
  SecPkgContext_ConnectionInfo info = {};
  status = QueryContextAttributesA(&context, SECPKG_ATTR_CONNECTION_INFO, &info);
  tls13 = status == SEC_E_OK && (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) != 0;
  check_server_certificate();
  established = true;
}

// The exchange of handshake messages, from the first (`first`: no context yet) or from a
// message the server sent later, whose bytes and those after it are `received`; until
// SChannel says it is done. Gives back the bytes received past its end, the start of the
// records that follow.
std::string tls_channel::state::negotiate(std::string received, bool first) {
  bool read_first = false;
  bool asked_for_certificate = false;
  for (;;) {
    if (read_first) {
      std::string piece = lower->recv(tls_read_bytes);
      // The socket's own error (or a reset) says why: closed by the peer, by a cancel or by
      // the read time-out.
      if (piece.empty()) {
        const int code = WSAGetLastError();
        fail(error_kind::tls_handshake, "TLS handshake error",
             code ? static_cast<DWORD>(code) : static_cast<DWORD>(WSAECONNRESET));
      }
      if (piece.size() > max_handshake_pending - received.size())
        throw net_exception(error_kind::malformed_reply, "TLS handshake malformed (more than " +
                                                             std::to_string(max_handshake_pending) +
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
        &credentials, first ? nullptr : &context, server_name(), context_requests, 0, 0,
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
    if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_OK)
      fail(error_kind::tls_handshake, "TLS handshake error", static_cast<DWORD>(status));
    if (dead) fail(error_kind::tls_handshake, "TLS handshake error", why);
    // The bytes SChannel did not take are the start of the next record: the last cbBuffer of
    // what was handed in.
    if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= received.size())
      received.erase(0, received.size() - in[1].cbBuffer);
    else
      received.clear();
    if (status == SEC_E_OK) return received;
    // Read only when SChannel took everything.
    read_first = received.empty();
  }
}

// A handshake message after the handshake. Under TLS 1.3 (a session ticket, a key update) it
// is answered by the handshake's own exchange, and the records after it are read on. Under
// TLS 1.2 it asks for a new handshake, which would bring a certificate to check again; few
// servers ask, and this client does not go along.
void tls_channel::state::answer_handshake() {
  const std::string bytes = records.take_handshake();
  if (!tls13) {
    dead = true;
    throw net_exception(error_kind::tls_handshake,
                        "TLS renegotiation refused (the server asked for a new handshake)");
  }
  plain += records.feed(negotiate(bytes, false));
}

void tls_channel::state::check_server_certificate() {
  PCCERT_CONTEXT cert = nullptr;
  const SECURITY_STATUS status = QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert);
  if (status != SEC_E_OK || !cert)
    throw certificate_refused(certificate_problem::other, static_cast<DWORD>(status),
                              win32::system_text(static_cast<DWORD>(status)));
  struct held {
    ~held() { CertFreeCertificateContext(p); }
    PCCERT_CONTEXT p;
  } hold{cert};
  check_certificate(cert, host);
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
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
    fail(error_kind::malformed_reply, "TLS record error", static_cast<DWORD>(status));
  for (const SecBuffer& buffer : b)
    if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer && buffer.cbBuffer > 0)
      plain.data.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
  if (status == SEC_I_RENEGOTIATE) {
    // A handshake message after the handshake: what SChannel left of the record (EXTRA) goes
    // to the handshake's exchange, with everything received after it (answer_handshake).
    plain.handshake = true;
    for (const SecBuffer& buffer : b)
      if (buffer.BufferType == SECBUFFER_EXTRA && buffer.pvBuffer && buffer.cbBuffer > 0)
        plain.handshake_bytes.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
  }
  return plain;
}

void tls_channel::state::send_close_notify() {
  if (!established || dead || closed_sent) return;
  closed_sent = true;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc control_desc = {SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&context, &control_desc) != SEC_E_OK) return;
  SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
  SecBufferDesc out_desc = {SECBUFFER_VERSION, 1, out};
  ULONG attributes = 0;
  TimeStamp expiry;
  // With nothing to read, the context writes the close_notify alert.
  InitializeSecurityContextA(&credentials, &context, server_name(), context_requests, 0, 0,
                             nullptr, 0, nullptr, &out_desc, &attributes, &expiry);
  send_token(out[0]);
}

// -- preparing ahead --

namespace {

DWORD WINAPI warm_up(void*) {
  // Loads the provider (GnuTLS behind it under Wine).
  CredHandle credentials;
  if (acquire_credentials(credentials) == SEC_E_OK) FreeCredentialsHandle(&credentials);
  prepare_certificate_check();
  return 0;
}

}  // namespace

void prepare_tls() {
  if (HANDLE thread = CreateThread(nullptr, 0, warm_up, nullptr, 0, nullptr)) CloseHandle(thread);
}

// -- the channel: sending, receiving, close_notify --

tls_channel::tls_channel(const std::string& host, std::unique_ptr<byte_stream> lower) : s(new state) {
  s->host = host;
  if (address_literal(host).empty()) s->sni = host;
  s->lower = std::move(lower);
}

tls_channel::~tls_channel() = default;

void tls_channel::handshake() { s->handshake(); }

void tls_channel::send(const char* data, std::size_t length) {
  if (!s->established || s->dead)
    fail(error_kind::closed, "socket send error", static_cast<DWORD>(WSAENOTCONN));
  const std::size_t most = s->sizes.cbMaximumMessage;
  const std::size_t header = s->sizes.cbHeader;
  const std::size_t trailer = s->sizes.cbTrailer;
  std::string record;
  for (std::size_t at = 0; at < length;) {
    const std::size_t n = std::min(most, length - at);
    // One contiguous buffer: header, data, trailer; SChannel fills it in place.
    record.assign(header + n + trailer, '\0');
    std::memcpy(&record[header], data + at, n);
    SecBuffer b[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, &record[0]},
                      {static_cast<ULONG>(n), SECBUFFER_DATA, &record[header]},
                      {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, &record[header + n]},
                      {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
    const SECURITY_STATUS status = EncryptMessage(&s->context, 0, &desc, 0);
    if (status != SEC_E_OK) {
      s->dead = true;
      fail(error_kind::other, "socket send error", static_cast<DWORD>(status));
    }
    // The trailer may be shorter than its room (a MAC or tag of the cipher's size).
    s->write(record.data(), b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer);
    at += n;
  }
}

std::string tls_channel::recv(std::size_t maximum) {
  state& c = *s;
  if (!c.established || c.dead) return std::string();
  while (c.plain.empty()) {
    if (!c.early.empty()) {
      c.plain = c.records.feed(c.early);
      c.early.clear();
    } else if (!c.records.closed()) {
      const std::string received = c.lower->recv(tls_read_bytes);
      if (received.empty()) {
        c.dead = true;
        return std::string();
      }
      c.plain = c.records.feed(received);
    }
    while (c.records.handshake_waiting()) c.answer_handshake();
    if (c.plain.empty() && c.records.closed()) {
      // A peer that closed waits for our close_notify before it lets go of the connection.
      c.send_close_notify();
      return std::string();
    }
  }
  const std::size_t n = std::min(maximum, c.plain.size());
  std::string piece = c.plain.substr(0, n);
  c.plain.erase(0, n);
  return piece;
}

void tls_channel::close() {
  s->send_close_notify();
  s->lower->close();
}

}  // namespace net
