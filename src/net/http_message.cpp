// Contents:
//   -- header fields --
//   -- the request --
//   -- diagnostics --
//   -- reading a response: pieces, framing, chunked body, sized body --
#include "net/http_message.hpp"

#include <iostream>

// -- header fields --

namespace {

bool line_end(char c) { return c == '\r' || c == '\n'; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Calls `each(name, value)` for every field line of `head`. A field line is any run of
// characters between line ends (neither side of the pattern crosses one). Group 1 is greedy,
// so the name ends at the line's last ": " that still leaves a value of at least one
// character after it.
template <typename Each>
void field_lines(const std::string& head, Each each) {
  const std::size_t n = head.size();
  std::size_t a = 0;
  while (a < n) {
    std::size_t e = a;
    while (e < n && !line_end(head[e])) ++e;
    for (std::size_t k = e >= 3 ? e - 3 : 0; e - a >= 4 && k >= a + 1; --k) {
      if (head[k] == ':' && head[k + 1] == ' ') {
        each(head.substr(a, k - a), head.substr(k + 2, e - k - 2));
        break;
      }
    }
    a = e + 1;
  }
}

}  // namespace

std::size_t field_name_hash::operator()(const std::string& name) const {
  // FNV-1a over the lower-case letters.
  std::size_t h = static_cast<std::size_t>(2166136261u);
  for (char c : name) h = (h ^ static_cast<unsigned char>(ascii_lower(c))) * static_cast<std::size_t>(16777619u);
  return h;
}

bool field_name_equal::operator()(const std::string& a, const std::string& b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

http_headers::http_headers(const std::string& head) {
  field_lines(head, [this](std::string name, std::string value) {
    auto it = find(name);
    if (it == end()) emplace(std::move(name), std::move(value));
    else it->second += ";" + value;
  });
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
  const std::string head = first_piece.substr(0, end);
  headers = http_headers(head);
  field_lines(head, [this](const std::string& name, std::string value) {
    if (field_name_equal()(name, "Set-Cookie")) cookies.push_back(std::move(value));
  });
  body = first_piece.substr(end + 4);
}

std::string http_resp::dump() const { return status_line + " \n" + headers.str() + body; }

namespace net {

// -- the request --

std::string write_request(const std::string& path, const std::string& body, http_headers fields) {
  fields["Content-Length"] = std::to_string(body.size());
  fields["Content-Type"] = "application/x-www-form-urlencoded";
  // Built by appending: a string stream costs more to set up than a request takes to write.
  std::string out = "POST " + path + " HTTP/1.1\r\n" + fields.str() + "\r\n";
  out += body;
  return out;
}

// -- diagnostics --

std::string printable(const std::string& bytes, std::size_t most) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  const std::size_t shown = std::min(most, bytes.size());
  for (std::size_t i = 0; i < shown; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else if (c < 0x20 || c >= 0x7f) out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
    else out += static_cast<char>(c);
  }
  if (shown < bytes.size()) out += "... (" + std::to_string(bytes.size() - shown) + " more bytes)";
  return out;
}

// -- reading a response --

namespace {

const char* const no_head = "malformed http_resp(no \\r\\n\\r\\n)";
const char* const cut_short = "connection closed before the end of the http_resp body";
const char* const bad_chunk = "malformed http_resp(bad chunked body)";
const char* const over_limit = "http_resp body over the limit";
const char* const bad_length = "malformed http_resp(bad Content-Length)";

[[noreturn]] void malformed(const std::string& message) {
  throw net_exception(error_kind::malformed_reply, message);
}

// The bytes of one connection, pulled in pieces as the parse needs them. Only bytes not yet
// read are kept: those before `pos_` go as soon as the next piece comes.
class piece_reader {
 public:
  piece_reader(const std::function<std::string()>& read, std::string& buffer)
      : read_(read), buf_(buffer) {}
  ~piece_reader() { buf_.erase(0, pos_); }  // what is left belongs to the next response

  std::size_t available() const { return buf_.size() - pos_; }

  // Appends the next piece; throws `error` when the connection gives nothing more. What was
  // read goes first, and what was not (a line's start, a few KB at most) joins the piece in a
  // buffer of just their size; while nothing was read yet (a head coming in pieces), the piece
  // is simply appended, so that a head in many small pieces is not copied again for each.
  void more(const char* error) {
    if (pos_ == 0 && available() > 0) {
      std::string piece = read_();
      if (piece.empty()) throw net_exception(error_kind::closed, error);
      buf_ += piece;
      return;
    }
    std::string left = buf_.substr(pos_);
    std::string().swap(buf_);
    pos_ = 0;
    std::string piece = read_();
    if (piece.empty()) {
      buf_.swap(left);
      throw net_exception(error_kind::closed, error);
    }
    if (!left.empty()) {
      left.reserve(left.size() + piece.size());
      piece.swap(left.append(piece));
    }
    buf_.swap(piece);
  }

  // Everything up to `delimiter`, which is consumed too; at most `limit` bytes.
  std::string until(const char* delimiter, std::size_t limit, const char* too_long,
                    const char* closed) {
    const std::size_t dlen = std::char_traits<char>::length(delimiter);
    // Searched already, counted from `pos_` (which a new piece moves along with the bytes).
    std::size_t scanned = 0;
    for (;;) {
      const std::size_t at = buf_.find(delimiter, pos_ + scanned);
      if (at != std::string::npos && at - pos_ <= limit) {
        std::string text = buf_.substr(pos_, at - pos_);
        pos_ = at + dlen;
        return text;
      }
      if (available() > limit + dlen) malformed(too_long);
      scanned = available() >= dlen ? available() - dlen + 1 : 0;
      more(closed);
    }
  }

  // Appends the next `n` bytes to `out`, reading as they are needed.
  void take(std::size_t n, std::string& out, const char* closed) {
    while (n > 0) {
      if (available() == 0) more(closed);
      const std::size_t k = std::min(n, available());
      out.append(buf_, pos_, k);
      pos_ += k;
      n -= k;
    }
  }

  // Consumes `text`, which must come next.
  void expect(const char* text, const char* error, const char* closed) {
    const std::size_t n = std::char_traits<char>::length(text);
    while (available() < n) more(closed);
    if (buf_.compare(pos_, n, text) != 0) malformed(error);
    pos_ += n;
  }

 private:
  const std::function<std::string()>& read_;
  std::string& buf_;
  std::size_t pos_ = 0;
};

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string read_chunked(piece_reader& in) {
  std::string body;
  for (;;) {
    // RFC 9112 7.1.1: chunk extensions are ignored, but only up to a line's limit
    const std::string line = in.until("\r\n", max_chunk_line_bytes, bad_chunk, cut_short);
    // RFC 9112 7.1: chunk-size = 1*HEXDIG, guarded against overflow before shifting
    std::size_t size = 0, i = 0;
    for (; i < line.size() && hex_value(line[i]) >= 0; ++i) {
      if (size > (max_body_bytes >> 4)) malformed(over_limit);
      size = size << 4 | static_cast<std::size_t>(hex_value(line[i]));
    }
    // RFC 9112 7.1.1: chunk-ext = *( BWS ";" BWS chunk-ext-name [ BWS "=" BWS chunk-ext-val ] )
    std::size_t j = i;
    while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
    if (i == 0 || (j < line.size() && line[j] != ';')) malformed(bad_chunk);
    if (size == 0) break;
    if (size > max_body_bytes - body.size()) malformed(over_limit);
    in.take(size, body, cut_short);
    in.expect("\r\n", bad_chunk, cut_short);
  }
  // RFC 9112 7.1.2: trailer fields are skipped up to the empty line that ends the message,
  // within a limit of their own
  std::size_t trailer = 0;
  for (;;) {
    const std::string field = in.until("\r\n", max_trailer_bytes, bad_chunk, cut_short);
    if (field.empty()) return body;
    trailer += field.size() + 2;
    if (trailer > max_trailer_bytes) malformed(bad_chunk);
  }
}

bool optional_space(char c) { return c == ' ' || c == '\t'; }

// The elements of a field's value as a list: split at "," (RFC 9110 5.6.1) and at the ";"
// that joins repeated fields, white space around each removed, empty ones left out.
std::vector<std::string> list_elements(const std::string& value) {
  std::vector<std::string> out;
  std::size_t a = 0;
  while (a <= value.size()) {
    std::size_t e = value.find_first_of(",;", a);
    if (e == std::string::npos) e = value.size();
    std::size_t b = a, f = e;
    while (b < f && optional_space(value[b])) ++b;
    while (f > b && optional_space(value[f - 1])) --f;
    if (f > b) out.push_back(value.substr(b, f - b));
    a = e + 1;
  }
  return out;
}

// RFC 9110 8.6: Content-Length = 1*DIGIT; anything else (a sign, a word) is refused. A list
// of the same value, or the field repeated with it, stands for that value; differing ones are
// refused (RFC 9112 6.3, item 5).
std::size_t content_length(const std::string& value) {
  const std::vector<std::string> values = list_elements(value);
  if (values.empty()) malformed(bad_length);
  for (const std::string& v : values)
    if (v != values[0]) malformed("malformed http_resp(differing Content-Length values)");
  std::size_t n = 0;
  for (char c : values[0]) {
    if (c < '0' || c > '9') malformed(bad_length);
    if (n > (max_body_bytes - static_cast<std::size_t>(c - '0')) / 10) malformed(over_limit);
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

// RFC 9112 6.1: a response's transfer codings are a list whose last must be "chunked" for its
// length to be known; the client decodes no other coding, so "chunked" (any case) must be the
// only one.
void check_transfer_coding(const std::string& value) {
  const std::vector<std::string> codings = list_elements(value);
  if (codings.size() != 1 || !field_name_equal()(codings[0], "chunked"))
    malformed("http_resp transfer coding not supported: " + printable(value, 100));
}

}  // namespace

http_resp read_response(const std::function<std::string()>& read, std::string& pending) {
  piece_reader in(read, pending);
  http_resp resp(in.until("\r\n\r\n", max_head_bytes - 4, "malformed http_resp(head over the limit)",
                          no_head) + "\r\n\r\n");
  auto te = resp.headers.find("Transfer-Encoding");
  auto cl = resp.headers.find("Content-Length");
  // RFC 9112 6.3, items 3 to 5: Transfer-Encoding wins over Content-Length.
  if (te != resp.headers.end()) {
    check_transfer_coding(te->second);
    resp.body = read_chunked(in);
  } else if (cl != resp.headers.end()) {
    const std::size_t length = content_length(cl->second);
    resp.body.reserve(std::min(length, sized_body_reserve_bytes));
    in.take(length, resp.body, cut_short);
  } else {
    std::cout << printable(resp.dump()) << std::endl;
    throw net_exception(error_kind::malformed_reply, "no chunked or content-length?");
  }
  return resp;
}

}  // namespace net
