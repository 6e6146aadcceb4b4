#include "net/tls_record.hpp"

namespace net {

std::size_t tls_record_size(const std::string& bytes) {
  if (bytes.size() < tls_header_bytes) return 0;
  const unsigned char type = static_cast<unsigned char>(bytes[0]);
  // RFC 8446 5.1: an unexpected content type is fatal; heartbeat (24) is never negotiated.
  if (type < tls_change_cipher_spec || type > tls_application_data)
    throw net_exception(error_kind::malformed_reply,
                        "TLS record malformed (content type " + std::to_string(type) + ")");
  // RFC 8446 5.1: legacy_record_version is 0x0301 or 0x0303 in practice; every TLS version
  // has the major byte 3 (SSL 2's framing would not).
  if (static_cast<unsigned char>(bytes[1]) != 3)
    throw net_exception(error_kind::malformed_reply,
                        "TLS record malformed (version " + std::to_string(static_cast<unsigned char>(bytes[1])) + ")");
  const std::size_t length =
      static_cast<std::size_t>(static_cast<unsigned char>(bytes[3])) << 8 | static_cast<unsigned char>(bytes[4]);
  if (length > tls_max_ciphertext_bytes)
    throw net_exception(error_kind::malformed_reply,
                        "TLS record malformed (length " + std::to_string(length) + ")");
  return tls_header_bytes + length;
}

std::string tls_record_reader::feed(const std::string& received) {
  std::string plain;
  if (peer_closed) return plain;
  pending += received;
  if (handshake) return plain;
  std::size_t at = 0;
  for (;;) {
    // The header is read where it lies, without copying the rest of the buffer.
    const std::size_t size = tls_record_size(pending.substr(at, tls_header_bytes));
    if (size == 0 || size > pending.size() - at) break;
    const unsigned char type = static_cast<unsigned char>(pending[at]);
    tls_plain record = decrypt(pending.substr(at, size));
    at += size;
    plain += record.data;
    if (record.closed || (type == tls_alert && record.data.empty())) {
      peer_closed = true;
      pending.clear();
      return plain;
    }
    if (record.handshake) {
      handshake = true;
      pending = record.handshake_bytes + pending.substr(at);
      return plain;
    }
  }
  pending.erase(0, at);
  return plain;
}

std::string tls_record_reader::take_handshake() {
  handshake = false;
  std::string bytes;
  bytes.swap(pending);
  return bytes;
}

}  // namespace net
