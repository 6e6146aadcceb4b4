#pragma once
// Pages for the parser's tests and benchmark: realistic result pages, and random pages
// that mix well-formed entry blocks with broken ones. Also the regular-expression oracle:
// the parser's and the count's meaning written directly with std::regex.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "site/archive_parser.hpp"

namespace pages {

// A result page as the site serves it: a head, the "SEARCH RESULTS" line, `entries`
// five-line entry blocks (every third one solved), and a footer.
std::string realistic(int entries, int total);

// A random page of mixed good and broken blocks; no line is longer than `max_line`
// characters (the oracle's recursion stays shallow).
std::string random_page(std::mt19937& rng, std::size_t max_line = 400);

// The oracle: the regular expressions searched as the archive client first did, copying
// the remainder after each match; the groups' character references decoded.
std::vector<row> regex_parse(const std::string& page);
std::optional<int> regex_count(const std::string& page);

}  // namespace pages
