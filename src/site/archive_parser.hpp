#pragma once
// Turns the HTML text of one page of archive search results into the entry list's rows.

#include <string>
#include <vector>

#include "any/row.hpp"

// The contract with the site's result page: every entry is the leftmost match of this
// ECMAScript regular expression, searched again from the end of the previous match.
// Group 1 is the link, group 2 the name, group 3 the difficulty.
extern const char* const entry_pattern;

// One row per entry of the page's text (UTF-8, site/charset.hpp), in page order: "url",
// "name", "difficulty" (the groups' texts with their character references decoded, the link
// as an attribute's) and "solved" (whether the matched text contains "Solved by"). Never
// throws for any text; a page of another form gives fewer or no rows.
//
// The matching is linear and never recurses, so a page with one very long line (an inline
// script, minified markup, a hostile server) cannot exhaust the stack as a backtracking
// regular expression engine would. It yields exactly the matches `entry_pattern` defines.
std::vector<row> parse_archive_page(const std::string& page);
