#pragma once
// What the browser is asked to open for an entry: only a page of the archive site itself.

#include <optional>
#include <string>

// `base` (scheme and host, no trailing slash) followed by the entry's link, or nothing when
// the link is not a path on the site: it must start with "/" and a character other than "/"
// or "\", else "@other.host/..." or "//other.host/..." would take the user elsewhere. Spaces,
// control characters and bytes outside printable ASCII are percent-encoded.
std::optional<std::string> archive_page_address(const std::string& base, const std::string& url);
