#pragma once
// Where the archive lives. The host is a build setting (VEX_ARCHIVE_HOST); the site answers
// on port 80 and gives 20 entries a page.

#include <string>

#ifndef VEX_ARCHIVE_HOST
#define VEX_ARCHIVE_HOST "localhost"
#endif

constexpr const char* archive_host = VEX_ARCHIVE_HOST;
constexpr int archive_port = 80;
constexpr int page_size = 20;

// The scheme, "://" and the host, no trailing slash: an entry's link follows it.
inline std::string archive_base_url() { return std::string("http://") + archive_host; }
