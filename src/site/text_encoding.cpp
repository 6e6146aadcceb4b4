#include "site/text_encoding.hpp"

#include <cstdint>
#include <cstring>

#include "site/html_references.hpp"

namespace {

// The end of the run of ASCII bytes that starts at `from`: a page is mostly ASCII, which both
// encodings keep as it is, so runs are looked at eight bytes at a time and copied whole.
std::size_t ascii_run_end(const std::string& bytes, std::size_t from) {
  const std::size_t n = bytes.size();
  for (; n - from >= 8; from += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + from, sizeof word);
    if (word & 0x8080808080808080u) break;
  }
  while (from < n && static_cast<unsigned char>(bytes[from]) < 0x80) ++from;
  return from;
}

}  // namespace

void append_utf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

int windows_1252_byte(char32_t point) {
  if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) return static_cast<int>(point);
  for (int i = 0; i < 32; ++i) {
    // The undefined bytes stand for the control characters of their own value.
    const char32_t shown = cp1252_high[i] != 0 ? cp1252_high[i] : static_cast<char32_t>(0x80 + i);
    if (shown == point) return 0x80 + i;
  }
  return -1;
}

std::string utf8_from_windows_1252(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const std::size_t ascii_end = ascii_run_end(bytes, at);
    out.append(bytes, at, ascii_end - at);
    if (ascii_end == bytes.size()) break;
    at = ascii_end;
    const unsigned char b = static_cast<unsigned char>(bytes[at]);
    if (b >= 0xA0) append_utf8(out, b);
    else append_utf8(out, cp1252_high[b - 0x80] != 0 ? cp1252_high[b - 0x80] : b);
  }
  return out;
}

char32_t next_code_point(const std::string& text, std::size_t& at) {
  // Encoding standard: UTF-8 decoder. A byte that cannot continue the sequence ends it as
  // one U+FFFD and is read again as the start of the next.
  const unsigned char first = static_cast<unsigned char>(text[at++]);
  if (first < 0x80) return first;
  int needed;
  char32_t point;
  unsigned char low = 0x80, high = 0xBF;
  if (first >= 0xC2 && first <= 0xDF) {
    needed = 1;
    point = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;  // no surrogates
    needed = 2;
    point = first & 0x0F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    needed = 3;
    point = first & 0x07;
  } else {
    return replacement_character;
  }
  for (; needed > 0; --needed) {
    if (at >= text.size()) return replacement_character;
    const unsigned char next = static_cast<unsigned char>(text[at]);
    if (next < low || next > high) return replacement_character;
    low = 0x80;
    high = 0xBF;
    point = (point << 6) | (next & 0x3F);
    ++at;
  }
  return point;
}

std::string valid_utf8(const std::string& bytes) {
  std::size_t at = 0;
  // Most pages are valid throughout: only from the first fault on is the text rebuilt.
  while ((at = ascii_run_end(bytes, at)) < bytes.size()) {
    const std::size_t start = at;
    if (next_code_point(bytes, at) == replacement_character &&
        bytes.compare(start, 3, "\xEF\xBF\xBD") != 0) {
      at = start;
      break;
    }
  }
  if (at >= bytes.size()) return bytes;
  std::string out = bytes.substr(0, at);
  while (at < bytes.size()) {
    const std::size_t start = at;
    const char32_t point = next_code_point(bytes, at);
    if (point == replacement_character) append_utf8(out, point);
    else out.append(bytes, start, at - start);
  }
  return out;
}
