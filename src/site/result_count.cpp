#include "site/result_count.hpp"

#include <sstream>

#include "site/text_scan.hpp"

const char* const count_pattern = "SEARCH RESULTS.+ of (\\d+)\\]";

namespace {

const char marker[] = "SEARCH RESULTS";
const char of[] = " of ";
const std::size_t marker_len = sizeof marker - 1;
const std::size_t of_len = sizeof of - 1;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<int> find_result_count(const std::string& page) {
  const std::size_t npos = std::string::npos;
  site::line_end_finder line_end(page);
  for (std::size_t s = page.find(marker); s != npos;) {
    const std::size_t eol = line_end(s);
    // ".+" takes at least one character, then gives back from the line's end until
    // " of " digits "]" follow; the rightmost fit wins.
    const std::size_t first = s + marker_len + 1;
    for (std::size_t k = eol; k-- > first;) {
      if (page[k] != ']') continue;
      std::size_t d = k;
      while (d > first + of_len && is_digit(page[d - 1])) --d;
      if (d == k || d < first + of_len || page.compare(d - of_len, of_len, of) != 0) continue;
      std::istringstream digits(page.substr(d, k - d));
      int count = 0;
      digits >> count;
      return count;
    }
    // A later "SEARCH RESULTS" on the same line can only fit where this one did not.
    s = page.find(marker, eol);
  }
  return std::nullopt;
}
