#pragma once
// Where the archive lives. The host is a build setting (site/archive_host.hpp); the site
// answers on port 80 and gives 20 entries a page.

#include <string>

#include "site/archive_host.hpp"

constexpr int archive_port = 80;
constexpr int page_size = 20;

// The scheme, "://" and the host, no trailing slash: an entry's link follows it.
inline std::string archive_base_url() { return std::string("http://") + archive_host; }
