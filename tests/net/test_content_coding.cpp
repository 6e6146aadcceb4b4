#include "net/content_coding.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>

namespace {

// `text` compressed: `bits` 16 + 15 writes gzip, 15 the zlib wrapper, -15 bare data.
std::string compressed(const std::string& text, int bits = 16 + 15) {
  z_stream z = {};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, bits, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string noise(std::size_t n) {
  std::mt19937 random(7);
  std::string out;
  while (out.size() < n) out += static_cast<char>(random());
  return out;
}

std::string message_of(const std::function<std::string()>& f) {
  try {
    return "no exception: " + f().substr(0, 20);
  } catch (const net::net_exception& e) {
    EXPECT_EQ(e.kind, net::error_kind::malformed_reply) << e.what();
    return e.what();
  }
}

}  // namespace

TEST(ContentCoding, GzipAndDeflateInflateAnythingElseIsRefused) {
  const std::string page = "<html>" + std::string(5000, 'v') + noise(300) + "</html>";
  EXPECT_EQ(net::decoded_content(compressed(page), " X-GZIP "), page);
  // Bare deflate data too, as some servers send for "deflate"; the codings come off in the
  // reverse of their order.
  EXPECT_EQ(net::decoded_content(compressed(compressed(page, -15), 15), "Deflate, identity, deflate"), page);

  EXPECT_EQ(message_of([] { return net::decoded_content("plain", "br"); }),
            "http_resp Content-Encoding \"br\" not understood");
  const std::string whole = compressed(page);
  EXPECT_EQ(message_of([&] { return net::decoded_content(whole.substr(0, whole.size() - 9), "gzip"); }),
            "malformed http_resp(bad gzip body)");
}

// A small reply cannot make a large body: no more than 1000 times its own size, and never past
// the body limit.
TEST(ContentCoding, InflationIsBounded) {
  const std::string zeros(10 * 1024 * 1024, '\0');
  EXPECT_EQ(message_of([&] { return net::decoded_content(compressed(zeros), "gzip"); }),
            "http_resp body inflates more than 1000 times its size");
  // The same zeros with a little noise beside them inflate less than 1000 times: taken.
  EXPECT_EQ(net::decoded_content(compressed(zeros + noise(1000)), "gzip").size(), zeros.size() + 1000);

  const std::string text = noise(5000);
  EXPECT_EQ(net::decoded_content(compressed(text), "gzip", 5000), text);
  EXPECT_EQ(message_of([&] { return net::decoded_content(compressed(text), "gzip", 4999); }),
            "http_resp body inflates past the limit");
}
