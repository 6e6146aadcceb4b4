#pragma once
// The border where a page's bytes become text. Inside the program every text from the site
// is UTF-8; a page is read once, here, in the character set it was sent in, as HTML reads
// pages: the reply's Content-Type first, then a <meta> near the top, then Windows-1252.
// Two character sets are understood, UTF-8 and Windows-1252 (which ISO-8859-1 and US-ASCII
// labels also mean); any other label reads as Windows-1252.

#include <cstddef>
#include <string>

enum class page_charset { windows_1252, utf_8 };

// What stands for a character that cannot be read or written.
constexpr char32_t replacement_character = 0xFFFD;

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

// -- decoding --

// The UTF-8 text of the page's bytes (without a UTF-8 byte order mark).
std::string page_text(const std::string& page, const std::string& content_type);

// Every byte as its Windows-1252 character; the five bytes the code page leaves undefined
// stand for the control characters of the same value.
std::string utf8_from_windows_1252(const std::string& bytes);

// The bytes unchanged where they are UTF-8; every maximal malformed sequence becomes one
// U+FFFD, as the Encoding standard decodes.
std::string valid_utf8(const std::string& bytes);

// The code point that starts at `at`, `at` moved past it; a malformed sequence gives U+FFFD
// and moves past as much as the Encoding standard takes for it. `at` < text.size().
char32_t next_code_point(const std::string& text, std::size_t& at);

void append_utf8(std::string& out, char32_t point);

// The Windows-1252 byte for `point`, or -1 when the code page has none.
int windows_1252_byte(char32_t point);
