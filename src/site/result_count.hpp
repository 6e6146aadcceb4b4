#pragma once
// Reads the total number of results from the first reply of a refresh.

#include <optional>
#include <string>

// The contract with the site's result page: the first match of this ECMAScript regular
// expression anywhere in the reply; group 1 is the total. ".+" is greedy and never crosses
// a line end, so the total is the last " of N]" on the line of "SEARCH RESULTS".
extern const char* const count_pattern;

// The total converted as a string stream converts group 1 (a number too large for an int
// reads as the largest int), or nothing when the reply has no match. Linear, no recursion.
std::optional<int> find_result_count(const std::string& page);
