#pragma once
// Where the archive lives when no --archive says otherwise (the build setting,
// site/archive_url.hpp), and how many entries it gives a page.

#include "site/archive_address.hpp"
#include "site/archive_url.hpp"

constexpr int page_size = 20;

// The pages that hold `count` results, the last one possibly short.
constexpr int pages_for(int count) { return count / page_size + (count % page_size != 0 ? 1 : 0); }

// The build's archive: what the program queries without --archive, and the window title and
// request host the tests look for then. Throws std::invalid_argument for a build setting
// that is not an address.
inline archive_address build_archive() { return parse_archive_address(archive_url); }
