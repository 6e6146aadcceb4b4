#include "app/html_text.hpp"

#include <cstring>

namespace {

// The value of the numeric reference whose digits start at `p`, or -1; `end` is set past
// the ";".
long numeric_reference(const std::string& text, std::size_t p, std::size_t& end) {
  const bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
  if (hex) ++p;
  long value = 0;
  std::size_t digits = 0;
  for (; p < text.size() && text[p] != ';'; ++p, ++digits) {
    const char c = text[p];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return -1;
    value = value * (hex ? 16 : 10) + d;
    if (value > 0x10FFFF) return -1;
  }
  if (digits == 0 || p >= text.size()) return -1;
  end = p + 1;
  return value;
}

}  // namespace

std::string decode_character_references(const std::string& text) {
  static const struct {
    const char* name;
    char ch;
  } named[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"#39;", '\''}};
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    bool replaced = false;
    for (const auto& n : named) {
      if (text.compare(i + 1, std::strlen(n.name), n.name) == 0) {
        out += n.ch;
        i += 1 + std::strlen(n.name);
        replaced = true;
        break;
      }
    }
    if (!replaced && i + 1 < text.size() && text[i + 1] == '#') {
      std::size_t end = 0;
      const long value = numeric_reference(text, i + 2, end);
      if (value >= 1 && value <= 255) {
        out += static_cast<char>(value);
        i = end;
        replaced = true;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}
