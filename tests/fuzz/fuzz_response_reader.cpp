// Reading responses from a connection gives the same responses, errors and left-over bytes
// however the bytes are cut into pieces, and keeps no more than the last piece brought past a
// response's end. The input: one byte n, then n bytes of piece sizes (each 1..256, used in
// turn), then the bytes of the connection.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "net/http_message.hpp"

namespace {

struct outcome {
  std::string status_line, body, error;
  http_headers headers;
  std::vector<std::string> cookies;
  bool operator==(const outcome& o) const {
    return status_line == o.status_line && body == o.body && error == o.error && headers == o.headers &&
           cookies == o.cookies;
  }
};

// Up to four responses in a row on one connection, as keep-alive reads them, until the
// first error. `consumed` is how many bytes the connection handed out.
std::vector<outcome> read_all(const std::string& stream, const std::vector<std::size_t>& sizes,
                              std::string& pending, std::size_t& consumed) {
  std::size_t turn = 0;
  consumed = 0;
  auto read = [&]() -> std::string {
    const std::size_t n = sizes.empty() ? stream.size() : sizes[turn++ % sizes.size()];
    std::string piece = stream.substr(consumed, n);
    consumed += piece.size();
    return piece;
  };
  std::vector<outcome> seen;
  for (int i = 0; i < 4; ++i) {
    outcome o;
    try {
      http_resp r = net::read_response(read, pending);
      FUZZ_CHECK(r.body.size() <= net::max_body_bytes);
      if (!sizes.empty()) FUZZ_CHECK(pending.size() < *std::max_element(sizes.begin(), sizes.end()));
      o.status_line = r.status_line;
      o.headers = r.headers;
      o.body = r.body;
      o.cookies = r.cookies;
    } catch (const net::net_exception& e) {
      o.error = e.what();
    }
    seen.push_back(o);
    if (!o.error.empty()) break;
  }
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t n = std::min<std::size_t>(data[0], size - 1);
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < n; ++i) sizes.push_back(static_cast<std::size_t>(data[1 + i]) + 1);
  const std::string stream(reinterpret_cast<const char*>(data) + 1 + n, size - 1 - n);

  std::string whole_pending, split_pending;
  std::size_t whole_used, split_used;
  const std::vector<outcome> whole = read_all(stream, {}, whole_pending, whole_used);
  const std::vector<outcome> split = read_all(stream, sizes.empty() ? std::vector<std::size_t>{1} : sizes,
                                              split_pending, split_used);
  FUZZ_CHECK(whole == split);
  // What the split reading left over, followed by what it never read, is what the whole
  // reading left over.
  if (whole.back().error.empty())
    FUZZ_CHECK(split_pending + stream.substr(split_used) == whole_pending + stream.substr(whole_used));
  return 0;
}
