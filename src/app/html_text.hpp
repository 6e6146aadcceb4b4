#pragma once
// Names on the site's pages are HTML text; the list shows them as a reader would.

#include <string>

// Replaces the character references "&amp;", "&lt;", "&gt;", "&quot;", "&#39;", "&#NN;" and
// "&#xHH;" by their characters. Numeric references outside 1..255 (which the program's ANSI
// text cannot hold as one byte) and anything else that only looks like a reference stay as
// they are.
std::string decode_character_references(const std::string& text);
