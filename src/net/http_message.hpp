#pragma once
// HTTP/1.1 messages: the header collection, the request bytes, the parsed response and the
// reading of one whole response from a source of received pieces. No system calls here:
// the client hands in its `recv`.

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>

#include "net/net_exception.hpp"

// -- protocol limits --
namespace net {
// One read takes what the socket holds, up to this much: under Wine every recv costs about as
// much as a page's worth of bytes, so a whole page should come in one or two.
constexpr std::size_t read_piece_bytes = 64 * 1024;
constexpr std::size_t max_head_bytes = 64 * 1024;
constexpr std::size_t max_body_bytes = 64 * 1024 * 1024;
}  // namespace net

// Field names to values, names compared exactly. Repeated fields are joined by ";".
class http_headers : public std::unordered_map<std::string, std::string> {
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
};

namespace net {

// The bytes of a POST of a form body: "Content-Length" and "Content-Type" are set in the
// copied collection, nothing else is added.
std::string write_request(const std::string& path, const std::string& body, http_headers fields);

// Reads one whole response. `read` returns the next piece received, empty when the
// connection closed, failed or was cancelled. `pending` holds bytes received earlier but not
// yet used, and receives the bytes read past the end of this response.
//
// The head may arrive in any number of pieces (up to `max_head_bytes`); a chunked body is
// decoded; a sized body is exactly "Content-Length" bytes; a body beyond `max_body_bytes`,
// a malformed length or chunk, or a read that returns nothing too early throws.
http_resp read_response(const std::function<std::string()>& read, std::string& pending);

}  // namespace net
