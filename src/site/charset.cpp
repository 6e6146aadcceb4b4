// Sections:
//   -- labels --
//   -- the <meta> prescan --
//   -- the page's text --

#include "site/charset.hpp"

#include "site/text_encoding.hpp"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// HTML: ASCII whitespace
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

std::string lowered(std::string text) {
  for (char& c : text) c = lower(c);
  return text;
}

std::string trimmed(const std::string& text) {
  std::size_t first = 0, end = text.size();
  while (first < end && is_space(text[first])) ++first;
  while (end > first && is_space(text[end - 1])) --end;
  return text.substr(first, end - first);
}

// Whether `text` holds `word` at `at`, letter case ignored (`word` in lower case).
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool holds_at(const std::string& text, std::size_t at, const char* word) {
  for (std::size_t i = 0; word[i] != '\0'; ++i)
    if (at + i >= text.size() || lower(text[at + i]) != word[i]) return false;
  return true;
}

}  // namespace

// -- labels --

page_charset charset_of_label(const std::string& label) {
  // Encoding standard: the labels of UTF-8. Those of windows-1252 (which include
  // "iso-8859-1" and "us-ascii") and every unknown one read as Windows-1252.
  static const char* const utf8_labels[] = {"unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                                            "utf-8", "utf8", "x-unicode20utf8"};
  const std::string name = lowered(trimmed(label));
  for (const char* known : utf8_labels)
    if (name == known) return page_charset::utf_8;
  return page_charset::windows_1252;
}

std::string charset_label_of(const std::string& content_type) {
  // HTML: algorithm for extracting a character encoding from a meta element
  for (std::size_t at = 0; at < content_type.size(); ++at) {
    if (!holds_at(content_type, at, "charset")) continue;
    std::size_t p = at + 7;
    while (p < content_type.size() && is_space(content_type[p])) ++p;
    if (p >= content_type.size() || content_type[p] != '=') {
      at = p - 1;  // the loop's step looks on from here
      continue;
    }
    ++p;
    while (p < content_type.size() && is_space(content_type[p])) ++p;
    if (p >= content_type.size()) return std::string();
    const char quote = content_type[p];
    if (quote == '"' || quote == '\'') {
      const std::size_t end = content_type.find(quote, p + 1);
      if (end == std::string::npos) return std::string();
      return content_type.substr(p + 1, end - p - 1);
    }
    std::size_t end = p;
    while (end < content_type.size() && !is_space(content_type[end]) && content_type[end] != ';') ++end;
    return content_type.substr(p, end - p);
  }
  return std::string();
}

// -- the <meta> prescan --

namespace {

// HTML: the prescan's "get an attribute", over [at, limit): the next attribute's name
// (lower case) and value, `at` moved past it; false at the tag's end.
bool next_attribute(const std::string& page, std::size_t& at, std::size_t limit, std::string& name,
                    std::string& value) {
  while (at < limit && (is_space(page[at]) || page[at] == '/')) ++at;
  if (at >= limit || page[at] == '>') return false;
  name.clear();
  value.clear();
  while (at < limit && page[at] != '=' && page[at] != '>' && page[at] != '/' && !is_space(page[at])) {
    name += lower(page[at]);
    ++at;
  }
  if (name.empty()) name += lower(page[at++]);  // a lone "=" or "/" names an attribute
  while (at < limit && is_space(page[at])) ++at;
  if (at >= limit || page[at] != '=') return true;
  ++at;
  while (at < limit && is_space(page[at])) ++at;
  if (at >= limit) return true;
  const char quote = page[at];
  if (quote == '"' || quote == '\'') {
    ++at;
    while (at < limit && page[at] != quote) value += lower(page[at++]);
    if (at < limit) ++at;
    return true;
  }
  while (at < limit && page[at] != '>' && !is_space(page[at])) value += lower(page[at++]);
  return true;
}

// The label a <meta> whose attributes start at `at` gives, `at` moved past the tag; empty
// when it gives none. HTML: a charset attribute names the label itself; a content
// attribute's "charset=" counts only beside http-equiv="content-type".
std::string meta_label(const std::string& page, std::size_t& at, std::size_t limit) {
  bool pragma = false, seen_content = false, seen_charset = false, need_pragma = false;
  std::string label, name, value;
  while (next_attribute(page, at, limit, name, value)) {
    if (name == "http-equiv" && value == "content-type") {
      pragma = true;
    } else if (name == "content" && !seen_content) {
      seen_content = true;
      if (label.empty()) {
        label = charset_label_of(value);
        need_pragma = !label.empty();
      }
    } else if (name == "charset" && !seen_charset) {
      seen_charset = true;
      label = value;
      need_pragma = false;
    }
  }
  if (at < limit) ++at;  // the ">"
  return need_pragma && !pragma ? std::string() : trimmed(label);
}

}  // namespace

std::string meta_charset_label(const std::string& page) {
  const std::size_t limit = page.size() < meta_scan_bytes ? page.size() : meta_scan_bytes;
  std::string name, value;
  std::size_t at = 0;
  while (at < limit) {
    if (page[at] != '<') {
      ++at;
    } else if (holds_at(page, at, "<!--")) {
      const std::size_t end = page.find("-->", at + 2);
      at = end == std::string::npos ? limit : end + 3;
    } else if (holds_at(page, at, "<meta") && at + 5 < limit &&
               (is_space(page[at + 5]) || page[at + 5] == '/')) {
      at += 5;
      const std::string label = meta_label(page, at, limit);
      if (!label.empty()) return label;
    } else if (at + 1 < limit && (is_letter(page[at + 1]) ||
                                  (page[at + 1] == '/' && at + 2 < limit && is_letter(page[at + 2])))) {
      // Another tag: its attributes are read past, so that a ">" in a quoted value does not
      // end it.
      ++at;
      while (at < limit && !is_space(page[at]) && page[at] != '>') ++at;
      while (next_attribute(page, at, limit, name, value)) {
      }
      if (at < limit) ++at;
    } else if (holds_at(page, at, "<!") || holds_at(page, at, "</") || holds_at(page, at, "<?")) {
      const std::size_t end = page.find('>', at + 2);
      at = end == std::string::npos ? limit : end + 1;
    } else {
      ++at;
    }
  }
  return std::string();
}

namespace {
const char utf8_bom[] = "\xEF\xBB\xBF";
bool has_utf8_bom(const std::string& page) { return page.compare(0, 3, utf8_bom) == 0; }
}  // namespace

page_charset page_charset_of(const std::string& page, const std::string& content_type) {
  if (has_utf8_bom(page)) return page_charset::utf_8;
  std::string label = charset_label_of(content_type);
  if (trimmed(label).empty()) label = meta_charset_label(page);
  return charset_of_label(label);
}

// -- the page's text --

std::string page_text(const std::string& page, const std::string& content_type) {
  if (page_charset_of(page, content_type) == page_charset::windows_1252) return utf8_from_windows_1252(page);
  return valid_utf8(has_utf8_bom(page) ? page.substr(3) : page);
}
