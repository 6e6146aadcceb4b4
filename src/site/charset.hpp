#pragma once
// The border where a page's bytes become text. Inside the program every text from the site
// is UTF-8; a page is read once, here, in the character set it was sent in, as HTML reads
// pages: the reply's Content-Type first, then a <meta> near the top, then Windows-1252.
// Two character sets are understood, UTF-8 and Windows-1252 (which ISO-8859-1 and US-ASCII
// labels also mean); any other label reads as Windows-1252.

#include <cstddef>
#include <string>

enum class page_charset { windows_1252, utf_8 };

// -- labels --

// The character set a label names ("UTF-8", "latin1", ...; letter case and surrounding
// spaces ignored); Windows-1252 for a label it does not know.
page_charset charset_of_label(const std::string& label);

// The "charset=" of a Content-Type or <meta content> value ("text/html; charset=UTF-8"),
// quotes removed; empty when it names none.
std::string charset_label_of(const std::string& content_type);

// The label that a <meta charset> or <meta http-equiv="Content-Type" content> among the
// page's first `meta_scan_bytes` names; empty when none does.
constexpr std::size_t meta_scan_bytes = 1024;
std::string meta_charset_label(const std::string& page);

// The page's character set: a UTF-8 byte order mark, else the Content-Type's label, else
// the <meta>'s, else Windows-1252.
page_charset page_charset_of(const std::string& page, const std::string& content_type);

// -- the page's text --

// The UTF-8 text of the page's bytes (without a UTF-8 byte order mark), read in its
// character set (site/text_encoding.hpp).
std::string page_text(const std::string& page, const std::string& content_type);
