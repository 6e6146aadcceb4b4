#pragma once
// TLS records as they arrive: the record layer's framing (RFC 8446 5.1, RFC 5246 6.2) cut out
// of the stream of received bytes, each whole record handed to a decryptor and its plaintext
// handed on. No system call and no cryptography here: the SChannel layer
// (net/tls_channel.cpp) hands in its decryption, a test a fake one, so the framing can be fed
// in pieces of every size.

#include <cstddef>
#include <functional>
#include <string>

#include "net/net_exception.hpp"

namespace net {

// -- protocol limits --
// RFC 8446 5.1: ContentType type; ProtocolVersion legacy_record_version; uint16 length.
constexpr std::size_t tls_header_bytes = 5;
// RFC 5246 6.2.3: TLSCiphertext.length MUST NOT exceed 2^14 + 2048 (RFC 8446 5.2 allows less).
constexpr std::size_t tls_max_ciphertext_bytes = 16384 + 2048;
// RFC 8446 5.1 / RFC 5246 A.1: the content types a record may carry.
constexpr unsigned char tls_change_cipher_spec = 20;
constexpr unsigned char tls_alert = 21;
constexpr unsigned char tls_handshake = 22;
constexpr unsigned char tls_application_data = 23;

// What one record decrypted to: application data (maybe none), and whether the peer ended the
// connection with it (close_notify), or sent a handshake message after the handshake (a TLS 1.3
// session ticket or key update) that the handshake's own exchange must answer, starting with
// `handshake_bytes` (what the decryptor left of the record for it).
struct tls_plain {
  std::string data;
  bool closed = false;
  bool handshake = false;
  std::string handshake_bytes;
};

// The size of the record that starts `bytes` (header included), or 0 while its header is not
// complete. Throws "TLS record malformed (...)" for a type or length no TLS peer sends.
std::size_t tls_record_size(const std::string& bytes);

class tls_record_reader {
 public:
  // Gets one whole record, header included; throws on a record that does not decrypt.
  using decryptor = std::function<tls_plain(const std::string& record)>;

  explicit tls_record_reader(decryptor decrypt_) : decrypt(std::move(decrypt_)) {}

  // Takes the next bytes received and returns the plaintext of every record they complete,
  // in order; bytes of a record not yet complete wait for the next call. Nothing after the
  // peer's close_notify is decrypted, nor after a handshake message until its bytes are taken.
  std::string feed(const std::string& received);

  // A record held a handshake message: the bytes its exchange starts from (those the
  // decryptor left of it, then every byte received after it), which the caller takes and
  // feeds back what the exchange leaves over.
  bool handshake_waiting() const { return handshake; }
  std::string take_handshake();

  // The peer sent close_notify: no more data will come. Under Wine's SChannel it decrypts to
  // nothing and is known only by its record type (an alert), which is why the framing, not
  // the decryptor alone, decides.
  bool closed() const { return peer_closed; }
  // Bytes received that do not yet make a whole record.
  std::size_t buffered() const { return pending.size(); }

 private:
  decryptor decrypt;
  std::string pending;
  bool peer_closed = false;
  bool handshake = false;
};

}  // namespace net
