#include "net/tls_record.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A stand-in for SChannel: a record's "ciphertext" is its data with every byte flipped, so a
// record decrypted from the wrong bytes shows.
std::string record(unsigned char type, const std::string& data) {
  std::string r;
  r += static_cast<char>(type);
  r += "\x03\x03";
  r += static_cast<char>(data.size() >> 8);
  r += static_cast<char>(data.size() & 0xff);
  for (char c : data) r += static_cast<char>(~c);
  return r;
}

struct fake_decryptor {
  net::tls_plain operator()(const std::string& whole) {
    ++records;
    EXPECT_EQ(net::tls_record_size(whole), whole.size()) << "handed a record that is not whole";
    net::tls_plain plain;
    for (std::size_t i = net::tls_header_bytes; i < whole.size(); ++i) plain.data += static_cast<char>(~whole[i]);
    // A handshake message after the handshake: the data stands for what SChannel leaves of
    // the record for the handshake's exchange.
    if (whole[0] == static_cast<char>(net::tls_handshake)) {
      plain.handshake = true;
      plain.handshake_bytes.swap(plain.data);
    }
    // Windows says so for close_notify; Wine decrypts it to nothing.
    if (whole[0] == static_cast<char>(net::tls_alert) && plain.data == "expired") {
      plain.data.clear();
      plain.closed = true;
    }
    return plain;
  }
  int records = 0;
};

std::string pattern(std::size_t n, char seed) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(seed + i % 23);
  return s;
}

std::string message_of(net::tls_record_reader& reader, const std::string& bytes) {
  try {
    reader.feed(bytes);
  } catch (const net::net_exception& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace

// Records of every kind of size, cut into pieces of every size: each cut reads as the whole
// stream does, and nothing after the close is decrypted.
TEST(TlsRecordReader, PiecesOfEverySizeReadAsTheWhole) {
  const std::vector<std::string> data = {"", "a", pattern(2, 'b'), pattern(300, 'c'), pattern(4000, 'd'), "end"};
  std::string wire, expected;
  for (const std::string& d : data) {
    wire += record(net::tls_application_data, d);
    expected += d;
  }
  // Wine's close_notify: an alert that decrypts to nothing; what follows is never read.
  wire += record(net::tls_alert, "");
  const std::string after = record(net::tls_application_data, "after the close");

  for (std::size_t size = 1; size <= wire.size() + after.size(); ++size) {
    fake_decryptor fake;
    net::tls_record_reader reader([&](const std::string& r) { return fake(r); });
    std::string got;
    const std::string all = wire + after;
    for (std::size_t at = 0; at < all.size(); at += size) got += reader.feed(all.substr(at, size));
    ASSERT_EQ(expected, got) << "pieces of " << size;
    ASSERT_TRUE(reader.closed()) << "pieces of " << size;
    ASSERT_EQ(static_cast<int>(data.size()) + 1, fake.records) << "pieces of " << size;
    ASSERT_EQ(0u, reader.buffered());
  }
}

TEST(TlsRecordReader, LimitsAndTheEndOfTheStream) {
  fake_decryptor fake;
  auto reader_of = [&] { return net::tls_record_reader([&](const std::string& r) { return fake(r); }); };

  // The largest record a peer may send, split anywhere, and a partial one left waiting.
  const std::string largest(net::tls_max_ciphertext_bytes, 'x');
  for (std::size_t cut : {std::size_t{1}, std::size_t{5}, std::size_t{6}, largest.size()}) {
    net::tls_record_reader reader = reader_of();
    const std::string wire = record(net::tls_application_data, largest) + record(net::tls_application_data, "ab");
    std::string got = reader.feed(wire.substr(0, cut));
    got += reader.feed(wire.substr(cut, wire.size() - cut - 1));
    EXPECT_EQ(largest, got) << "cut at " << cut;
    EXPECT_EQ(net::tls_header_bytes + 1, reader.buffered());
    EXPECT_EQ("ab", reader.feed(wire.substr(wire.size() - 1)));
    EXPECT_FALSE(reader.closed());
  }

  // Windows' close_notify: the decryptor says the context expired.
  net::tls_record_reader windows = reader_of();
  EXPECT_EQ("x", windows.feed(record(net::tls_application_data, "x") + record(net::tls_alert, "expired") +
                              record(net::tls_application_data, "y")));
  EXPECT_TRUE(windows.closed());
  EXPECT_EQ("", windows.feed(record(net::tls_application_data, "z")));

  // Bytes no TLS peer sends: a plain HTTP reply, SSL 2, a record over the limit.
  net::tls_record_reader plain = reader_of();
  EXPECT_EQ("TLS record malformed (content type 72)", message_of(plain, "HTTP/1.1 400 Bad Request\r\n"));
  net::tls_record_reader old = reader_of();
  EXPECT_EQ("TLS record malformed (version 2)", message_of(old, std::string("\x16\x02\x00\x00\x01", 5)));
  net::tls_record_reader huge = reader_of();
  std::string over = record(net::tls_application_data, "");
  over[3] = static_cast<char>((net::tls_max_ciphertext_bytes + 1) >> 8);
  over[4] = static_cast<char>((net::tls_max_ciphertext_bytes + 1) & 0xff);
  EXPECT_EQ("TLS record malformed (length 18433)", message_of(huge, over));
  // A header in pieces is judged only once whole.
  net::tls_record_reader waiting = reader_of();
  EXPECT_EQ("", waiting.feed(std::string("\x17\x03", 2)));
  EXPECT_EQ(2u, waiting.buffered());
}

// A handshake message stops the decrypting: its exchange takes it and every byte after it,
// and what the exchange leaves over is fed back.
TEST(TlsRecordReader, HandshakeMessagesAfterTheHandshakeGoToItsExchange) {
  fake_decryptor fake;
  net::tls_record_reader reader([&](const std::string& r) { return fake(r); });
  const std::string after = record(net::tls_application_data, "later");
  const std::string wire = record(net::tls_application_data, "before") + record(net::tls_handshake, "ticket") + after;
  EXPECT_EQ("before", reader.feed(wire.substr(0, wire.size() - 2)));
  EXPECT_TRUE(reader.handshake_waiting());
  EXPECT_EQ("", reader.feed(wire.substr(wire.size() - 2)));
  EXPECT_EQ(2, fake.records) << "nothing decrypted while the exchange waits";
  EXPECT_EQ("ticket" + after, reader.take_handshake());
  EXPECT_FALSE(reader.handshake_waiting());
  EXPECT_EQ(0u, reader.buffered());
  // The exchange took the ticket; the record after it is read as ever.
  EXPECT_EQ("later", reader.feed(after));
}
