#include "site/html_text.hpp"

#include <algorithm>
#include <cstdint>

#include "site/html_references.hpp"
#include "site/text_encoding.hpp"

namespace {

bool is_digit(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

bool is_alphanumeric(char c) {
  return is_digit(c, false) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int digit_value(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// A numeric reference whose "&#" stands at `at`: its length, and in `point` the character
// it stands for; 0 when no digit follows.
std::size_t numeric_reference(std::string_view text, std::size_t at, char32_t& point) {
  std::size_t p = at + 2;
  const bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
  if (hex) ++p;
  const std::size_t digits = p;
  // Past U+10FFFF the value only has to stay too large; it never wraps.
  std::uint32_t value = 0;
  for (; p < text.size() && is_digit(text[p], hex); ++p)
    value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + digit_value(text[p]), 0x110000);
  if (p == digits) return 0;
  if (p < text.size() && text[p] == ';') ++p;
  // HTML: numeric character reference end state
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    point = replacement_character;
  else if (value >= 0x80 && value <= 0x9F && cp1252_high[value - 0x80] != 0)
    point = cp1252_high[value - 0x80];
  else
    point = value;
  return p - at;
}

// The longest name of the table that the text after "&" at `at` starts with, or null. The
// names sharing the text's first n characters stand together in the sorted table, the one
// of exactly those n characters first; each further character narrows that run.
const html_reference* named_reference(std::string_view text, std::size_t at) {
  const html_reference* lo = html_references;
  const html_reference* hi = html_references + html_reference_count;
  const html_reference* longest = nullptr;
  for (std::size_t n = 0; n < html_reference_longest && at + 1 + n < text.size(); ++n) {
    const unsigned char c = static_cast<unsigned char>(text[at + 1 + n]);
    if (c == 0) break;
    auto nth = [n](const html_reference& r) { return static_cast<unsigned char>(r.name[n]); };
    lo = std::lower_bound(lo, hi, c, [&](const html_reference& r, unsigned char k) { return nth(r) < k; });
    hi = std::upper_bound(lo, hi, c, [&](unsigned char k, const html_reference& r) { return k < nth(r); });
    if (lo == hi) break;
    if (lo->name[n + 1] == '\0') longest = lo;
  }
  return longest;
}

}  // namespace

std::string decode_character_references(std::string_view text, bool in_attribute) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, amp - i));
    i = amp;
    std::size_t length = 0;
    if (i + 1 < text.size() && text[i + 1] == '#') {
      char32_t point = 0;
      length = numeric_reference(text, i, point);
      if (length != 0) append_utf8(out, point);
    } else if (const html_reference* r = named_reference(text, i)) {
      const std::size_t name_length = std::char_traits<char>::length(r->name);
      // HTML: in an attribute, a legacy name without ";" before "=" or a letter or digit
      // is text ("?a=1&copy=2" is a query, not a copyright sign).
      const std::size_t after = i + 1 + name_length;
      const bool kept = in_attribute && r->name[name_length - 1] != ';' && after < text.size() &&
                        (text[after] == '=' || is_alphanumeric(text[after]));
      if (!kept) {
        length = 1 + name_length;
        for (char32_t point : r->points)
          if (point != 0) append_utf8(out, point);
      }
    }
    // Not a reference: as written.
    if (length == 0) {
      out += '&';
      length = 1;
    }
    i += length;
  }
  return out;
}

bool plain_html_text(std::string_view text) {
  if (text.find('&') != std::string_view::npos) return false;
  // One pass without a branch a byte: the state file's texts are almost all plain.
  unsigned char high = 0;
  for (char c : text) high |= static_cast<unsigned char>(c);
  return high < 0x80;
}

std::string windows_1252_html(const std::string& utf8) {
  if (plain_html_text(utf8)) return utf8;
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 2);
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t point = next_code_point(utf8, at);
    if (point == '&') {
      out += "&amp;";
      continue;
    }
    const int byte = windows_1252_byte(point);
    if (byte >= 0) {
      out += static_cast<char>(byte);
      continue;
    }
    if (point >= 0x80 && point <= 0x9F) point = replacement_character;
    out += "&#x";
    bool started = false;
    for (int shift = 20; shift >= 0; shift -= 4) {
      const unsigned digit = (point >> shift) & 0xF;
      started = started || digit != 0 || shift == 0;
      if (started) out += hex[digit];
    }
    out += ';';
  }
  return out;
}

std::string read_windows_1252_html(const std::string& bytes, bool in_attribute) {
  if (plain_html_text(bytes)) return bytes;
  return decode_character_references(utf8_from_windows_1252(bytes), in_attribute);
}
