#pragma once
// Names on the site's pages are HTML text; the program holds them as the characters a reader
// sees, in UTF-8.

#include <string>
#include <string_view>

// Replaces every character reference in UTF-8 text as the HTML standard reads one in text,
// by the UTF-8 of the characters it stands for: the named references of its table (the
// longest name that fits; the legacy names also without ";"), and numeric ones ("&#NN",
// "&#xHH", ";" optional) of any code point, 0x80..0x9F standing for their Windows-1252
// characters and 0, surrogates and values past U+10FFFF for U+FFFD. An "&" that starts no
// reference stays as it was written, and so, `in_attribute`, does a legacy name without ";"
// that "=" or a letter or digit follows. Never longer than the text.
std::string decode_character_references(std::string_view text, bool in_attribute = false);

// -- HTML text in Windows-1252 --
// How texts were kept before the program read pages as Unicode, and still are (by the
// state file): the bytes of a page sent in Windows-1252, character references included.

// The text that reads back as `utf8`: every character Windows-1252 has as its byte, "&" as
// "&amp;", any other as a hexadecimal character reference. The control characters
// U+0080..U+009F that the code page's bytes stand for otherwise cannot be written (a
// reference to them means the code page's character) and become U+FFFD.
std::string windows_1252_html(const std::string& utf8);

// The characters of such a text (an attribute's, `in_attribute`), in UTF-8.
std::string read_windows_1252_html(const std::string& bytes, bool in_attribute = false);

// ASCII without "&": a text that both of the above give back unchanged.
bool plain_html_text(std::string_view text);
