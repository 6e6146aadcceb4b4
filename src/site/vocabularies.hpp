#pragma once
// The site's filter values: what each combo box shows ("name") and what the query sends
// ("id"), in the order the boxes list them.

#include <vector>

#include "any/row.hpp"

std::vector<row> difficulty_items();
std::vector<row> platform_items();
std::vector<row> language_items();
std::vector<row> type_items();
std::vector<row> sort_items();
