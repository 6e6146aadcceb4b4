// Whatever bytes a reply carries under whatever coding, inflating them ends within its bounds
// (or is refused), and bytes compressed each way inflate back to themselves. The first byte
// chooses the coding; the limit is kept small so that runs stay fast.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.hpp"
#include "net/content_coding.hpp"

namespace {

constexpr std::size_t fuzz_limit = 1024 * 1024;
const char* const codings[] = {"gzip", "deflate", "x-gzip", "gzip, deflate", "identity", "br", ""};

// `bits` as zlib's deflateInit2 takes them: 31 gzip, 15 zlib, -15 bare.
std::string compressed(const std::string& text, int bits) {
  z_stream z = {};
  FUZZ_CHECK(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY) == Z_OK);
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  FUZZ_CHECK(deflate(&z, Z_FINISH) == Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string coding = codings[data[0] % (sizeof codings / sizeof codings[0])];
  const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    const std::string content = net::decoded_content(body, coding, fuzz_limit);
    FUZZ_CHECK(content.size() <= fuzz_limit);
    FUZZ_CHECK(content.size() <= body.size() * net::max_inflation_ratio || body.size() == content.size());
  } catch (const net::net_exception& e) {
    FUZZ_CHECK(e.kind == net::error_kind::malformed_reply);
  }
  // Whatever the body, compressed it comes back as it was (a short body inflates far less
  // than the ratio allows).
  for (int bits : {31, 15, -15}) {
    const char* name = bits == 31 ? "gzip" : "deflate";
    FUZZ_CHECK(net::decoded_content(compressed(body, bits), name, fuzz_limit) == body);
  }
  return 0;
}
