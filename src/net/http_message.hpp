#pragma once
// HTTP/1.1 messages: the header collection, the request bytes, the parsed response and the
// reading of one whole response from a source of received pieces. No system calls here:
// the client hands in its `recv`.

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/net_exception.hpp"

// -- protocol limits --
namespace net {
// One read takes what the socket holds, up to this much: under Wine every recv costs about as
// much as a page's worth of bytes, so a whole page should come in one or two.
constexpr std::size_t read_piece_bytes = 64 * 1024;
constexpr std::size_t max_head_bytes = 64 * 1024;
constexpr std::size_t max_body_bytes = 64 * 1024 * 1024;
// A chunk's size line with its extensions, and the trailer section after the last chunk.
constexpr std::size_t max_chunk_line_bytes = 4 * 1024;
constexpr std::size_t max_trailer_bytes = 16 * 1024;
// A sized body is given this much room at once; a longer one grows as its bytes arrive, so
// that a length alone, without the bytes, holds no more.
constexpr std::size_t sized_body_reserve_bytes = 1024 * 1024;
// What a diagnostic shows of a server's bytes.
constexpr std::size_t max_diagnostic_bytes = 300;
}  // namespace net

// RFC 9110 5.1: field names are case-insensitive (ASCII letters only; names are tokens).
struct field_name_hash {
  std::size_t operator()(const std::string& name) const;
};
struct field_name_equal {
  bool operator()(const std::string& a, const std::string& b) const;
};

// Field names to values, names compared without regard to case (each kept as first written).
// Repeated fields are joined by ";".
class http_headers : public std::unordered_map<std::string, std::string, field_name_hash, field_name_equal> {
 public:
  http_headers() = default;
  // Every line of the form "(.+): (.+)" of the head: the name runs to the line's last
  // ": " that still leaves a value. Lines without one (the status line) add nothing.
  explicit http_headers(const std::string& head);

  // One "name: value\r\n" line per entry, in the map's order.
  std::string str() const;
};

struct http_resp {
  http_resp() = default;
  // Parses a whole head followed by the body bytes received with it; throws
  // "malformed http_resp(no \r\n\r\n)" when the text holds no end of head.
  explicit http_resp(const std::string& first_piece);

  // For diagnostics: status line, " \n", the fields, the body.
  std::string dump() const;

  std::string status_line;
  http_headers headers;
  std::string body;
  // The value of every "Set-Cookie" field, one each and in order: unlike other fields they are
  // never joined (RFC 6265 3), since a cookie's attributes are separated by ";" too.
  std::vector<std::string> cookies;
};

namespace net {

// The bytes of a POST of a form body: "Content-Length" and "Content-Type" are set in the
// copied collection, nothing else is added.
std::string write_request(const std::string& path, const std::string& body, http_headers fields);

// Reads one whole response. `read` returns the next piece received, empty when the
// connection closed, failed or was cancelled. `pending` holds bytes received earlier but not
// yet used, and receives the bytes read past the end of this response.
//
// The head may arrive in any number of pieces (up to `max_head_bytes`). The body is framed as
// RFC 9112 6.3 says: a Transfer-Encoding whose only coding is "chunked" is decoded (and wins
// over a Content-Length); any other transfer coding, differing Content-Length values, a
// malformed length or chunk, a body beyond `max_body_bytes` or a read that returns nothing
// too early throws. Bytes are let go of as they are read: besides the body, a response holds
// at most its head, one piece and a chunk line or trailer field at a time.
http_resp read_response(const std::function<std::string()>& read, std::string& pending);

// At most `most` bytes of `bytes` for a diagnostic line: control characters, backslashes and
// bytes outside ASCII written as escapes ("\r", "\x1b"), and what is left out counted.
std::string printable(const std::string& bytes, std::size_t most = max_diagnostic_bytes);

}  // namespace net
