#pragma once
// Texts compared as people read them, by the system's rules: names in the order Explorer gives
// file names, and a text found inside another whatever its letters' case, in any script.
// Texts are UTF-8.

#include <string>
#include <string_view>

namespace win32 {

// Appends the system's sort key of `text` to `key`. Keys compared as bytes order texts as
// CompareStringEx does for the user's locale with letter case ignored and digits read as
// numbers ("file2" before "file10"): the order of file names in Explorer. Where the system
// cannot read digits as numbers (before Windows 7), they compare as characters.
void append_sort_key(std::string_view text, std::string& key);

// A text to look for inside others, letter case ignored in any script. Both sides go through
// the system's case mapping, to upper case and then to lower case, which brings together every
// case form the system maps to one letter (Σ, σ and ς; K, k and the Kelvin sign). One thread.
class text_finder {
 public:
  explicit text_finder(std::string_view text);

  bool empty() const { return folded.empty(); }
  // Whether `text` contains it anywhere.
  bool found_in(std::string_view text) const;
  // Whether every text that holds this one holds `other` too: this is `other` with more to it.
  bool within(const text_finder& other) const;

 private:
  std::wstring folded;
  // The same in ASCII, when it is all ASCII: an ASCII text is searched without the system.
  bool ascii = true;
  std::string folded_ascii;
  // Room for a text searched, kept from text to text.
  mutable std::wstring scratch;
  mutable std::wstring scratch_upper;
};

}  // namespace win32
