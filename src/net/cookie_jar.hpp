#pragma once
// The cookies one site gives a client, kept as a browser keeps them for that site (RFC 6265
// 5.2 to 5.4) for as long as the client wants them: each "Set-Cookie" adds or replaces one
// name's value, or removes it, and every request after sends them all back. Attributes other
// than the expiry are not kept: the client speaks to one site and one path. Portable and not
// thread-safe.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace net {

// -- protocol limits --
// RFC 6265 6.1: at least 50 cookies per domain and 4096 bytes per cookie.
constexpr std::size_t max_cookies = 50;
constexpr std::size_t max_cookie_bytes = 4096;

class cookie_jar {
 public:
  // Takes the values of a reply's "Set-Cookie" fields, in order: "name=value" and its
  // attributes. A later value replaces an earlier one of the same name, keeping its place; a
  // "Max-Age" of zero or less, or else an "Expires" at or before `now` (seconds since 1970,
  // UTC), removes the name. A value without "=" or without a name, or over the size limit, is
  // ignored.
  void take(const std::vector<std::string>& set_cookies, std::int64_t now);

  // The "Cookie" field's value: "n1=v1; n2=v2", in the order the names were first set; empty
  // when the jar holds none.
  std::string header() const;

 private:
  std::vector<std::pair<std::string, std::string>> cookies;
};

// RFC 6265 5.1.1: the time a cookie's "Expires" names, in seconds since 1970 (UTC); false
// when the text is not such a date.
bool cookie_date(const std::string& text, std::int64_t& seconds);

}  // namespace net
