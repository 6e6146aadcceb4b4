#pragma once
// Forward searches over one page text for the two result patterns. Each search remembers
// its last answer, so a run of queries that moves forward (as the matchers' candidates do)
// scans every byte at most once per search, whatever the line lengths.

#include <cstddef>
#include <cstring>
#include <string>

namespace site {

// The characters a regular expression's "." does not match.
inline bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// The first occurrence of `needle` that lies wholly in [from, limit), or npos.
inline std::size_t find_within(const std::string& text, std::size_t from, std::size_t limit,
                               const char* needle, std::size_t needle_len) {
  if (limit > text.size()) limit = text.size();
  const char* base = text.data();
  while (from < limit && limit - from >= needle_len) {
    const void* c = std::memchr(base + from, needle[0], limit - from - needle_len + 1);
    if (!c) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(c) - base);
    if (std::memcmp(base + at, needle, needle_len) == 0) return at;
    from = at + 1;
  }
  return std::string::npos;
}

class forward_find {
 public:
  // Searches for `a` or `b` (pass one character twice to search for it alone).
  forward_find(const std::string& text, char a, char b) : text_(text), a_(a), b_(b) {}

  // Position of the first character of the set at or after `from`, or npos.
  std::size_t operator()(std::size_t from) {
    if (from >= lo_ && from <= hit_) return hit_;
    std::size_t at = from;
    const std::size_t n = text_.size();
    const char* data = text_.data();
    // memchr for the first of `a`, then for `b` only in the stretch before it.
    const char* hit = at < n ? static_cast<const char*>(std::memchr(data + at, a_, n - at)) : nullptr;
    std::size_t end = hit ? static_cast<std::size_t>(hit - data) : n;
    if (b_ != a_ && end > at) {
      if (const void* other = std::memchr(data + at, b_, end - at))
        end = static_cast<std::size_t>(static_cast<const char*>(other) - data);
    }
    at = end;
    lo_ = from;
    hit_ = at < n ? at : std::string::npos;
    return hit_;
  }

 private:
  const std::string& text_;
  char a_, b_;
  std::size_t lo_ = std::string::npos;
  std::size_t hit_ = std::string::npos;
};

// The end of the line holding `from`: the first carriage return or line feed at or after
// it, or the end of the text.
class line_end_finder {
 public:
  explicit line_end_finder(const std::string& text) : text_(text), find_(text, '\r', '\n') {}
  std::size_t operator()(std::size_t from) {
    std::size_t at = find_(from);
    return at == std::string::npos ? text_.size() : at;
  }
  // Whether the line holding `from` ends with a carriage return and a line feed.
  bool ends_crlf(std::size_t from, std::size_t* end) {
    *end = (*this)(from);
    return *end + 1 < text_.size() && text_[*end] == '\r' && text_[*end + 1] == '\n';
  }

 private:
  const std::string& text_;
  forward_find find_;
};

}  // namespace site
