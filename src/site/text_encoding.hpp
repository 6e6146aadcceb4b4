#pragma once
// Characters in the two encodings the site's texts come in, UTF-8 and Windows-1252: reading
// code points from bytes and writing them back.

#include <cstddef>
#include <string>

// What stands for a character that cannot be read or written.
constexpr char32_t replacement_character = 0xFFFD;

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
