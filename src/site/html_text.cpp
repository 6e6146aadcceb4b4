#include "site/html_text.hpp"

#include <algorithm>
#include <cstdint>

#include "site/html_references.hpp"

namespace {

constexpr char32_t replacement_character = 0xFFFD;

// The byte that shows `c` in Windows-1252, or -1 for a character it cannot show (outside
// the code page, or a control character).
int cp1252_byte(char32_t c) {
  if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (cp1252_high[i] != 0 && cp1252_high[i] == c) return 0x80 + i;
  return -1;
}

// Appends what shows `points` (0 ends them early), or nothing and false when one of them
// cannot be shown.
bool append_shown(std::string& out, const char32_t* points, int count) {
  std::string bytes;
  for (int i = 0; i < count && points[i] != 0; ++i) {
    const int b = cp1252_byte(points[i]);
    if (b < 0) return false;
    bytes += static_cast<char>(b);
  }
  out += bytes;
  return true;
}

bool is_digit(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

int digit_value(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// A numeric reference whose "&#" stands at `at`: its length, and in `point` the character
// it stands for; 0 when no digit follows.
std::size_t numeric_reference(const std::string& text, std::size_t at, char32_t& point) {
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
const html_reference* named_reference(const std::string& text, std::size_t at) {
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

std::string decode_character_references(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    std::size_t length = 0;
    bool shown = false;
    if (i + 1 < text.size() && text[i + 1] == '#') {
      char32_t point = 0;
      length = numeric_reference(text, i, point);
      shown = length != 0 && append_shown(out, &point, 1);
    } else if (const html_reference* r = named_reference(text, i)) {
      length = 1 + std::char_traits<char>::length(r->name);
      shown = append_shown(out, r->points, 2);
    }
    // Not a reference, or one of characters the code page cannot show: as written.
    if (!shown) out.append(text, i, std::max<std::size_t>(length, 1));
    i += std::max<std::size_t>(length, 1);
  }
  return out;
}
