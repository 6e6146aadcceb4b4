#include "net/cookie_jar.hpp"

#include <algorithm>

namespace net {

namespace {

bool space(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& s, std::size_t a, std::size_t e) {
  while (a < e && space(s[a])) ++a;
  while (e > a && space(s[e - 1])) --e;
  return s.substr(a, e - a);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_word(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (lower(a[i]) != b[i]) return false;
  return i == a.size() && !b[i];
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// RFC 6265 5.1.1: delimiter = %x09 / %x20-2F / %x3B-40 / %x5B-60 / %x7B-7E
bool date_delimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

// The number `token` starts with, of `least` to `most` digits, whatever non-digits follow;
// -1 when it starts with fewer or more digits.
int leading_number(const std::string& token, std::size_t least, std::size_t most) {
  std::size_t n = 0;
  while (n < token.size() && digit(token[n])) ++n;
  if (n < least || n > most) return -1;
  int value = 0;
  for (std::size_t i = 0; i < n; ++i) value = value * 10 + (token[i] - '0');
  return value;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

bool cookie_date(const std::string& text, std::int64_t& seconds) {
  static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
  int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
  std::size_t a = 0;
  while (a < text.size()) {
    while (a < text.size() && date_delimiter(static_cast<unsigned char>(text[a]))) ++a;
    std::size_t e = a;
    while (e < text.size() && !date_delimiter(static_cast<unsigned char>(text[e]))) ++e;
    const std::string token = text.substr(a, e - a);
    a = e;
    if (token.empty()) continue;
    // time = hms-time ( non-digit *OCTET ), hms-time = 1*2DIGIT ":" 1*2DIGIT ":" 1*2DIGIT
    if (hour < 0) {
      const std::size_t c1 = token.find(':'), c2 = c1 == std::string::npos ? c1 : token.find(':', c1 + 1);
      if (c2 != std::string::npos) {
        const std::string h_text = token.substr(0, c1), m_text = token.substr(c1 + 1, c2 - c1 - 1);
        const int h = std::all_of(h_text.begin(), h_text.end(), digit) ? leading_number(h_text, 1, 2) : -1;
        const int m = std::all_of(m_text.begin(), m_text.end(), digit) ? leading_number(m_text, 1, 2) : -1;
        const int s = leading_number(token.substr(c2 + 1), 1, 2);
        if (h >= 0 && m >= 0 && s >= 0) {
          hour = h, minute = m, second = s;
          continue;
        }
      }
    }
    if (day < 0) {
      const int d = leading_number(token, 1, 2);
      if (d >= 0) {
        day = d;
        continue;
      }
    }
    if (month < 0 && token.size() >= 3) {
      const std::string three = token.substr(0, 3);
      for (int i = 0; i < 12; ++i)
        if (same_word(three, months[i])) month = i + 1;
      if (month > 0) continue;
    }
    if (year < 0) {
      const int y = leading_number(token, 2, 4);
      if (y >= 0) year = y;
    }
  }
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (hour < 0 || day < 0 || month < 0 || year < 0) return false;
  if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59) return false;
  seconds = days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

void cookie_jar::take(const std::vector<std::string>& set_cookies, std::int64_t now) {
  for (const std::string& line : set_cookies) {
    // RFC 6265 6.1: a cookie over the size a user agent must keep is dropped whole.
    if (line.size() > max_cookie_bytes) continue;
    // RFC 6265 5.2: the name-value-pair runs to the first ";", the attributes follow it.
    const std::size_t semicolon = std::min(line.find(';'), line.size());
    const std::size_t equals = line.find('=');
    if (equals >= semicolon) continue;
    const std::string name = trimmed(line, 0, equals);
    const std::string value = trimmed(line, equals + 1, semicolon);
    if (name.empty()) continue;
    bool has_max_age = false, expired_by_date = false;
    long long max_age = 0;
    for (std::size_t a = semicolon; a < line.size();) {
      std::size_t e = std::min(line.find(';', a + 1), line.size());
      const std::string attribute = line.substr(a + 1, e - a - 1);
      a = e;
      const std::size_t eq = std::min(attribute.find('='), attribute.size());
      const std::string key = trimmed(attribute, 0, eq);
      const std::string v = eq < attribute.size() ? trimmed(attribute, eq + 1, attribute.size()) : std::string();
      if (same_word(key, "max-age")) {
        // RFC 6265 5.2.2: a DIGIT or "-" first, DIGITs after; anything else is ignored
        const bool negative = !v.empty() && v[0] == '-';
        const std::size_t from = negative ? 1 : 0;
        if (v.size() == from || !std::all_of(v.begin() + static_cast<std::ptrdiff_t>(from), v.end(), digit)) continue;
        has_max_age = true;
        // Only its sign matters here: a long one is simply far in the future.
        max_age = negative ? -1 : (v.find_first_not_of('0') == std::string::npos ? 0 : 1);
      } else if (same_word(key, "expires")) {
        // RFC 6265 5.2.1: a date that does not parse is ignored
        std::int64_t when = 0;
        if (cookie_date(v, when)) expired_by_date = when <= now;
      }
    }
    // RFC 6265 5.3, step 3: Max-Age wins over Expires.
    const bool removed = has_max_age ? max_age <= 0 : expired_by_date;
    auto it = std::find_if(cookies.begin(), cookies.end(), [&](const auto& c) { return c.first == name; });
    if (removed) {
      if (it != cookies.end()) cookies.erase(it);
    } else if (it != cookies.end()) {
      // RFC 6265 5.3, step 11.3: the new cookie takes the old one's creation time (its place).
      it->second = value;
    } else {
      // RFC 6265 6.1: beyond the limit, the earliest goes.
      if (cookies.size() >= max_cookies) cookies.erase(cookies.begin());
      cookies.emplace_back(name, value);
    }
  }
}

std::string cookie_jar::header() const {
  // RFC 6265 5.4, step 4: the pairs joined by "; ".
  std::string out;
  for (const auto& c : cookies) out += (out.empty() ? "" : "; ") + c.first + "=" + c.second;
  return out;
}

}  // namespace net
