// Contents:
//   -- header fields --
//   -- the request --
//   -- reading a response: pieces, head, chunked body, sized body --
#include "net/http_message.hpp"

#include <iostream>
#include <sstream>

// -- header fields --

namespace {

bool line_end(char c) { return c == '\r' || c == '\n'; }

}  // namespace

// A field line is any run of characters between line ends (neither side of the pattern
// crosses one). Group 1 is greedy, so the name ends at the line's last ": " that still
// leaves a value of at least one character after it.
http_headers::http_headers(const std::string& head) {
  const std::size_t n = head.size();
  std::size_t a = 0;
  while (a < n) {
    std::size_t e = a;
    while (e < n && !line_end(head[e])) ++e;
    for (std::size_t k = e >= 3 ? e - 3 : 0; e - a >= 4 && k >= a + 1; --k) {
      if (head[k] == ':' && head[k + 1] == ' ') {
        std::string name = head.substr(a, k - a);
        std::string value = head.substr(k + 2, e - k - 2);
        auto it = find(name);
        if (it == end()) emplace(std::move(name), std::move(value));
        else it->second += ";" + value;
        break;
      }
    }
    a = e + 1;
  }
}

std::string http_headers::str() const {
  std::string out;
  for (const auto& field : *this) out += field.first + ": " + field.second + "\r\n";
  return out;
}

http_resp::http_resp(const std::string& first_piece) {
  const std::size_t end = first_piece.find("\r\n\r\n");
  if (end == std::string::npos)
    throw net::net_exception(net::error_kind::malformed_reply, "malformed http_resp(no \\r\\n\\r\\n)");
  status_line = first_piece.substr(0, first_piece.find("\r\n"));
  headers = http_headers(first_piece.substr(0, end));
  body = first_piece.substr(end + 4);
}

std::string http_resp::dump() const { return status_line + " \n" + headers.str() + body; }

namespace net {

// -- the request --

std::string write_request(const std::string& path, const std::string& body, http_headers fields) {
  fields["Content-Length"] = std::to_string(body.size());
  fields["Content-Type"] = "application/x-www-form-urlencoded";
  std::ostringstream out;
  out << "POST " << path << " HTTP/1.1\r\n" << fields.str() << "\r\n" << body;
  return out.str();
}

// -- reading a response --

namespace {

const char* const no_head = "malformed http_resp(no \\r\\n\\r\\n)";
const char* const cut_short = "connection closed before the end of the http_resp body";
const char* const bad_chunk = "malformed http_resp(bad chunked body)";
const char* const over_limit = "http_resp body over the limit";
const char* const bad_length = "malformed http_resp(bad Content-Length)";

// The bytes of one connection, pulled in pieces as the parse needs them.
class piece_reader {
 public:
  piece_reader(const std::function<std::string()>& read, std::string& buffer)
      : read_(read), buf_(buffer) {}
  ~piece_reader() { buf_.erase(0, pos_); }  // what is left belongs to the next response

  std::size_t available() const { return buf_.size() - pos_; }

  // Appends the next piece; throws `error` when the connection gives nothing more.
  void more(const char* error) {
    std::string piece = read_();
    if (piece.empty()) throw net_exception(error_kind::closed, error);
    buf_ += piece;
  }

  void need(std::size_t n, const char* error) {
    while (available() < n) more(error);
  }

  // Everything up to `delimiter`, which is consumed too; at most `limit` bytes.
  std::string until(const char* delimiter, std::size_t limit, const char* too_long,
                    const char* closed) {
    const std::size_t dlen = std::char_traits<char>::length(delimiter);
    std::size_t scanned = pos_;
    for (;;) {
      const std::size_t at = buf_.find(delimiter, scanned);
      if (at != std::string::npos && at - pos_ <= limit) {
        std::string text = buf_.substr(pos_, at - pos_);
        pos_ = at + dlen;
        return text;
      }
      if (available() > limit + dlen) throw net_exception(error_kind::malformed_reply, too_long);
      scanned = buf_.size() >= dlen ? std::max(pos_, buf_.size() - dlen + 1) : pos_;
      more(closed);
    }
  }

  std::string take(std::size_t n) {
    std::string text = buf_.substr(pos_, n);
    pos_ += n;
    return text;
  }

 private:
  const std::function<std::string()>& read_;
  std::string& buf_;
  std::size_t pos_ = 0;
};

constexpr std::size_t max_chunk_line = 4096;

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string read_chunked(piece_reader& in) {
  std::string body;
  for (;;) {
    const std::string line = in.until("\r\n", max_chunk_line, bad_chunk, cut_short);
    // RFC 9112 7.1: chunk-size = 1*HEXDIG, guarded against overflow before shifting
    std::size_t size = 0, i = 0;
    for (; i < line.size() && hex_value(line[i]) >= 0; ++i) {
      if (size > (max_body_bytes >> 4)) throw net_exception(error_kind::malformed_reply, over_limit);
      size = size << 4 | static_cast<std::size_t>(hex_value(line[i]));
    }
    // RFC 9112 7.1.1: chunk extensions (after BWS ";") are ignored
    std::size_t j = i;
    while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
    if (i == 0 || (j < line.size() && line[j] != ';'))
      throw net_exception(error_kind::malformed_reply, bad_chunk);
    if (size == 0) break;
    if (size > max_body_bytes - body.size()) throw net_exception(error_kind::malformed_reply, over_limit);
    in.need(size + 2, cut_short);
    body += in.take(size);
    if (in.take(2) != "\r\n") throw net_exception(error_kind::malformed_reply, bad_chunk);
  }
  // RFC 9112 7.1.2: trailer fields are skipped up to the empty line that ends the message
  std::size_t trailer = 0;
  for (;;) {
    const std::string field = in.until("\r\n", max_head_bytes, bad_chunk, cut_short);
    if (field.empty()) return body;
    trailer += field.size() + 2;
    if (trailer > max_head_bytes) throw net_exception(error_kind::malformed_reply, bad_chunk);
  }
}

// RFC 9110 8.6: Content-Length = 1*DIGIT; anything else (a sign, a list, a word) is refused.
std::size_t content_length(const std::string& value) {
  std::size_t a = 0, e = value.size();
  while (a < e && (value[a] == ' ' || value[a] == '\t')) ++a;
  while (e > a && (value[e - 1] == ' ' || value[e - 1] == '\t')) --e;
  if (a == e) throw net_exception(error_kind::malformed_reply, bad_length);
  std::size_t n = 0;
  for (std::size_t i = a; i < e; ++i) {
    if (value[i] < '0' || value[i] > '9')
      throw net_exception(error_kind::malformed_reply, bad_length);
    if (n > (max_body_bytes - static_cast<std::size_t>(value[i] - '0')) / 10)
      throw net_exception(error_kind::malformed_reply, over_limit);
    n = n * 10 + static_cast<std::size_t>(value[i] - '0');
  }
  return n;
}

}  // namespace

http_resp read_response(const std::function<std::string()>& read, std::string& pending) {
  piece_reader in(read, pending);
  http_resp resp(in.until("\r\n\r\n", max_head_bytes - 4, "malformed http_resp(head over the limit)",
                          no_head) + "\r\n\r\n");
  auto te = resp.headers.find("Transfer-Encoding");
  auto cl = resp.headers.find("Content-Length");
  if (te != resp.headers.end() && te->second == "chunked") {
    resp.body = read_chunked(in);
  } else if (cl != resp.headers.end()) {
    const std::size_t length = content_length(cl->second);
    in.need(length, cut_short);
    resp.body = in.take(length);
  } else {
    std::cout << resp.dump() << std::endl;
    throw net_exception(error_kind::malformed_reply, "no chunked or content-length?");
  }
  return resp;
}

}  // namespace net
