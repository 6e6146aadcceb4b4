#include "site/archive_parser.hpp"

#include "site/html_text.hpp"
#include "site/text_scan.hpp"

const char* const entry_pattern =
    "<h2><a href=\"([^\"]+)\">(.+?)<.*?\\r\\n.*?\\r\\n.*?Difficulty: ([^<]+)<.+?\\r\\n.+?\\r\\n.+";

namespace {

using site::find_within;
using site::forward_find;
using site::is_line_end;
using site::line_end_finder;

const char heading[] = "<h2><a href=\"";
const char difficulty[] = "Difficulty: ";
const std::size_t heading_len = sizeof heading - 1;
const std::size_t difficulty_len = sizeof difficulty - 1;
const std::size_t npos = std::string::npos;

struct entry_match {
  std::size_t end;  // one past the match
  std::size_t url, url_end, name, name_end, diff, diff_end;
};

// Reads the pattern piece by piece. Every piece but the lazy name and the choice of
// "Difficulty: " on the third line has exactly one way to match (a "." run cannot cross a
// line end, a negated class run must stop at its character), so backtracking only ever
// revisits those two choices, and the name's choice cannot change what follows it (any
// "<" on the heading line leads to the same line end). The matcher therefore tries each
// "Difficulty: " of the third line in order and takes the first that completes.
class entry_matcher {
 public:
  explicit entry_matcher(const std::string& text)
      : t_(text), quote_(text, '"', '"'), lt_name_(text, '<', '<'), lt_diff_(text, '<', '<'),
        eol1_(text), eol2_(text), eol3_(text), eol_tail_(text), eol4_(text), eol5_(text) {}

  // The match that starts at `p`, where the heading text stands; false if none does.
  bool match_at(std::size_t p, entry_match& m) {
    const std::size_t n = t_.size();
    // ([^"]+)">
    m.url = p + heading_len;
    m.url_end = quote_(m.url);
    if (m.url_end == npos || m.url_end == m.url || m.url_end + 1 >= n || t_[m.url_end + 1] != '>')
      return false;
    // (.+?)<.*?\r\n
    m.name = m.url_end + 2;
    std::size_t e1 = eol1_(m.name);
    if (e1 == m.name) return false;
    m.name_end = lt_name_(m.name + 1);
    if (m.name_end == npos || m.name_end >= e1) return false;
    if (!eol1_.ends_crlf(m.name, &e1)) return false;
    // .*?\r\n
    std::size_t e2;
    if (!eol2_.ends_crlf(e1 + 2, &e2)) return false;
    // .*?Difficulty: ([^<]+)<.+?\r\n.+?\r\n.+
    const std::size_t line3 = e2 + 2;
    const std::size_t e3 = eol3_(line3);
    for (std::size_t d = find(line3, e3); d != npos; d = find(d + 1, e3)) {
      if (tail_at(d, m)) return true;
    }
    return false;
  }

 private:
  // The next "Difficulty: " that lies wholly in [from, limit).
  std::size_t find(std::size_t from, std::size_t limit) const {
    return find_within(t_, from, limit, difficulty, difficulty_len);
  }

  bool tail_at(std::size_t d, entry_match& m) {
    const std::size_t n = t_.size();
    m.diff = d + difficulty_len;
    m.diff_end = lt_diff_(m.diff);
    if (m.diff_end == npos || m.diff_end == m.diff) return false;
    // <.+?\r\n
    const std::size_t after = m.diff_end + 1;
    if (after >= n || is_line_end(t_[after])) return false;
    std::size_t e;
    if (!eol_tail_.ends_crlf(after, &e)) return false;
    // .+?\r\n
    const std::size_t line4 = e + 2;
    if (line4 >= n || is_line_end(t_[line4])) return false;
    if (!eol4_.ends_crlf(line4, &e)) return false;
    // .+
    const std::size_t line5 = e + 2;
    if (line5 >= n || is_line_end(t_[line5])) return false;
    m.end = eol5_(line5);
    return true;
  }

  const std::string& t_;
  forward_find quote_, lt_name_, lt_diff_;
  line_end_finder eol1_, eol2_, eol3_, eol_tail_, eol4_, eol5_;
};

}  // namespace

std::vector<row> parse_archive_page(const std::string& page) {
  std::vector<row> result;
  entry_matcher matcher(page);
  entry_match m;
  // A text of the page as the row keeps it: where it stands, unless a reference in it has
  // to be decoded first (into `decoded`).
  auto text = [&page](std::size_t from, std::size_t to, bool in_attribute, std::string& decoded) {
    const std::string_view raw(page.data() + from, to - from);
    if (raw.find('&') == std::string_view::npos) return raw;
    decoded = decode_character_references(raw, in_attribute);
    return std::string_view(decoded);
  };
  std::string url, name, difficulty;
  std::size_t from = 0;
  for (std::size_t p = page.find(heading, from); p != npos; p = page.find(heading, from)) {
    if (!matcher.match_at(p, m)) {
      from = p + 1;
      continue;
    }
    const char solved[] = "Solved by";
    // The row is made whole at once: one block, no field added to it afterwards.
    result.push_back(row{{"url", text(m.url, m.url_end, true, url)},
                         {"name", text(m.name, m.name_end, false, name)},
                         {"difficulty", text(m.diff, m.diff_end, false, difficulty)},
                         {"solved", find_within(page, p, m.end, solved, sizeof solved - 1) != npos}});
    from = m.end;
  }
  return result;
}
