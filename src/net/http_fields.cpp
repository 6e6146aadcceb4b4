#include "net/http_fields.hpp"

#include <cctype>

namespace net {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string field_of(const http_headers& fields, const std::string& name) {
  // RFC 9110 5.1: field names are case-insensitive.
  const std::string wanted = lower(name);
  for (const auto& f : fields)
    if (lower(f.first) == wanted) return f.second;
  return std::string();
}

bool closes_after(const http_resp& reply) {
  // RFC 9112 9.6: a reply with "Connection: close" is the connection's last.
  return lower(field_of(reply.headers, "Connection")) == "close";
}

std::string cookie_of(const http_resp& reply) {
  const auto cookie = reply.headers.find("Set-Cookie");
  return cookie == reply.headers.end() ? std::string() : cookie->second;
}

}  // namespace net
