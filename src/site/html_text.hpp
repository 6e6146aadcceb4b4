#pragma once
// Names on the site's pages are HTML text; the list shows them as a reader would, in the
// program's ANSI code page (Windows-1252).

#include <string>

// Replaces every character reference as the HTML standard reads one in text: the named
// references of its table (the longest name that fits; the legacy names also without ";"),
// and numeric ones ("&#NN", "&#xHH", ";" optional) of any code point, 0x80..0x9F standing
// for their Windows-1252 characters and 0, surrogates and values past U+10FFFF for U+FFFD.
// A reference whose characters Windows-1252 can show is replaced by their bytes; one that
// stands for anything else (a character outside the code page, a control character) stays
// as it was written, and so does an "&" that starts no reference.
std::string decode_character_references(const std::string& text);
