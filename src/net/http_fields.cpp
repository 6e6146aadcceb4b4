#include "net/http_fields.hpp"

#include <cctype>

namespace net {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Whether the comma-separated list `value` holds `token` (any case).
bool lists(const std::string& value, const std::string& token) {
  const std::string v = lower(value);
  for (std::size_t a = 0; a <= v.size();) {
    std::size_t e = v.find(',', a);
    if (e == std::string::npos) e = v.size();
    std::size_t b = a, f = e;
    while (b < f && (v[b] == ' ' || v[b] == '\t')) ++b;
    while (f > b && (v[f - 1] == ' ' || v[f - 1] == '\t')) --f;
    if (v.compare(b, f - b, token) == 0) return true;
    a = e + 1;
  }
  return false;
}

}  // namespace

std::string field_of(const http_headers& fields, const std::string& name) {
  const auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

bool closes_after(const http_resp& reply) {
  // RFC 9112 6.3, item 3: a reply framed by both fields may be an attempt at response
  // splitting; the connection is not trusted with another.
  if (reply.headers.count("Transfer-Encoding") && reply.headers.count("Content-Length")) return true;
  // RFC 9112 9.6: a reply with "Connection: close" is the connection's last.
  const std::string connection = field_of(reply.headers, "Connection");
  if (lists(connection, "close")) return true;
  // RFC 9112 9.3: an HTTP/1.0 server keeps the connection only when it says "keep-alive".
  return reply.status_line.compare(0, 9, "HTTP/1.0 ") == 0 && !lists(connection, "keep-alive");
}

}  // namespace net
