#include "net/content_coding.hpp"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace net {

namespace {

// What zlib is given to write into at a time.
constexpr std::size_t inflate_piece_bytes = 16 * 1024;

enum class wrapper { gzip, zlib, raw };

// RFC 9110 8.4.1: codings are case-insensitive tokens, listed in the order they were applied.
std::vector<std::string> codings_of(const std::string& value) {
  std::vector<std::string> out;
  std::string token;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i == value.size() || value[i] == ',') {
      if (!token.empty()) out.push_back(token);
      token.clear();
    } else if (value[i] != ' ' && value[i] != '\t') {
      const char c = value[i];
      token += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return out;
}

// RFC 1950 2.2: method 8 (deflate) in CMF, and CMF and FLG together a multiple of 31.
bool zlib_header(const std::string& data) {
  if (data.size() < 2) return false;
  const unsigned cmf = static_cast<unsigned char>(data[0]);
  const unsigned flg = static_cast<unsigned char>(data[1]);
  return (cmf & 0x0f) == 8 && (cmf << 8 | flg) % 31 == 0;
}

struct inflater {
  explicit inflater(wrapper w) {
    // 16 + bits reads the gzip wrapper, -bits bare deflate data.
    const int bits = w == wrapper::gzip ? 16 + MAX_WBITS : w == wrapper::zlib ? MAX_WBITS : -MAX_WBITS;
    ready = inflateInit2(&z, bits) == Z_OK;
  }
  ~inflater() {
    if (ready) inflateEnd(&z);
  }
  inflater(const inflater&) = delete;
  inflater& operator=(const inflater&) = delete;

  z_stream z = {};
  bool ready = false;
};

[[noreturn]] void refuse(const std::string& why) { throw net_exception(error_kind::malformed_reply, why); }

// `data` inflated, or nothing when it is not data of that wrapper; more than `cap` bytes of
// it throw `too_much`.
std::optional<std::string> inflated(const std::string& data, wrapper w, std::size_t cap,
                                    const std::string& too_much) {
  inflater in(w);
  if (!in.ready) return std::nullopt;
  in.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  in.z.avail_in = static_cast<uInt>(data.size());
  std::string out;
  // Pieces go through a buffer of their own, so that the body grows as strings grow and
  // holds little more than its bytes.
  char piece[inflate_piece_bytes];
  for (;;) {
    in.z.next_out = reinterpret_cast<Bytef*>(piece);
    in.z.avail_out = static_cast<uInt>(sizeof piece);
    const int status = inflate(&in.z, Z_NO_FLUSH);
    const std::size_t got = sizeof piece - in.z.avail_out;
    if (got > cap - out.size()) refuse(too_much);
    out.append(piece, got);
    if (status == Z_STREAM_END) {
      // RFC 1952 2.2: a gzip file is a series of members.
      if (w != wrapper::gzip || in.z.avail_in == 0) return out;
      if (inflateReset(&in.z) != Z_OK) return std::nullopt;
      continue;
    }
    // Z_BUF_ERROR here: the data ended before the stream did.
    if (status != Z_OK) return std::nullopt;
  }
}

}  // namespace

std::string decoded_content(std::string body, const std::string& content_encoding, std::size_t limit) {
  const std::vector<std::string> codings = codings_of(content_encoding);
  for (const std::string& coding : codings)
    if (coding != "gzip" && coding != "x-gzip" && coding != "deflate" && coding != "identity")
      refuse("http_resp Content-Encoding \"" + coding + "\" not understood");
  // Nothing to inflate (a reply without content may still name a coding).
  if (body.empty()) return body;

  // The ratio counts against the body as it came, whatever codings it passed through.
  const bool ratio_first = body.size() < limit / max_inflation_ratio;
  const std::size_t cap = ratio_first ? body.size() * max_inflation_ratio : limit;
  const std::string too_much =
      ratio_first ? "http_resp body inflates more than " + std::to_string(max_inflation_ratio) + " times its size"
                  : "http_resp body inflates past the limit";
  // RFC 9110 8.4: the codings were applied in the order listed, so they come off in reverse.
  for (auto coding = codings.rbegin(); coding != codings.rend(); ++coding) {
    if (*coding == "identity") continue;
    std::optional<std::string> inflated_content;
    if (*coding != "deflate") {
      inflated_content = inflated(body, wrapper::gzip, cap, too_much);
    } else {
      // RFC 9110 8.4.1.2 means the zlib wrapper; bare data whose first bytes happen to look
      // like one is read bare after all.
      if (zlib_header(body)) inflated_content = inflated(body, wrapper::zlib, cap, too_much);
      if (!inflated_content) inflated_content = inflated(body, wrapper::raw, cap, too_much);
    }
    if (!inflated_content)
      refuse(std::string("malformed http_resp(bad ") + (*coding == "deflate" ? "deflate" : "gzip") + " body)");
    body = std::move(*inflated_content);
  }
  return body;
}

}  // namespace net
