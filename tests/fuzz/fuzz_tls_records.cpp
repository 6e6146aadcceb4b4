// Cutting the received bytes into records gives the same data, close and error however the
// bytes arrive. The input: one byte n, then n bytes of piece sizes (each 1..256, used in
// turn), then the bytes of the connection. The "decryption" flips every byte, so a record
// handed over from the wrong place shows; an alert whose data is "expired" stands for a
// close reported by the decryptor. A handshake record stands for a message after the handshake:
// the exchange takes its data and feeds back the bytes after it.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "net/tls_record.hpp"

namespace {

struct outcome {
  std::string data, error;
  bool closed = false;
  bool operator==(const outcome& o) const { return data == o.data && error == o.error && closed == o.closed; }
};

net::tls_plain flip(const std::string& record) {
  FUZZ_CHECK(net::tls_record_size(record) == record.size());
  net::tls_plain plain;
  for (std::size_t i = net::tls_header_bytes; i < record.size(); ++i) plain.data += static_cast<char>(~record[i]);
  if (record[0] == static_cast<char>(net::tls_alert) && plain.data == "expired") {
    plain.data.clear();
    plain.closed = true;
  }
  if (record[0] == static_cast<char>(net::tls_handshake)) {
    plain.handshake = true;
    plain.handshake_bytes.swap(plain.data);
  }
  return plain;
}

outcome read_all(const std::string& stream, const std::vector<std::size_t>& sizes) {
  // The size of the last handshake message decrypted.
  std::size_t message = 0;
  net::tls_record_reader reader([&message](const std::string& record) {
    net::tls_plain plain = flip(record);
    if (plain.handshake) message = plain.handshake_bytes.size();
    return plain;
  });
  outcome o;
  std::size_t turn = 0;
  try {
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = sizes.empty() ? stream.size() : sizes[turn++ % sizes.size()];
      o.data += reader.feed(stream.substr(at, n));
      at += n;
      // The exchange: the message is the handshake record's data, written down as such; the
      // rest goes back to the records.
      while (reader.handshake_waiting()) {
        const std::string bytes = reader.take_handshake();
        o.data += "<" + bytes.substr(0, message) + ">";
        o.data += reader.feed(bytes.substr(message));
      }
      FUZZ_CHECK(reader.buffered() <= net::tls_header_bytes + net::tls_max_ciphertext_bytes);
    }
  } catch (const net::net_exception& e) {
    o.error = e.what();
  }
  o.closed = reader.closed();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t n = std::min<std::size_t>(data[0], size - 1);
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < n; ++i) sizes.push_back(static_cast<std::size_t>(data[1 + i]) + 1);
  const std::string stream(reinterpret_cast<const char*>(data) + 1 + n, size - 1 - n);
  const outcome whole = read_all(stream, {});
  const outcome split = read_all(stream, sizes.empty() ? std::vector<std::size_t>{1} : sizes);
  // The same first bad header stops both; the data before it, which one piece loses with the
  // exception, only the pieces have seen.
  FUZZ_CHECK(whole.error == split.error);
  if (whole.error.empty()) FUZZ_CHECK(whole == split);
  return 0;
}
