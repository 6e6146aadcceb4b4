#include "win32/text_compare.hpp"

#include <windows.h>

#include <algorithm>

#include "win32/unicode_text.hpp"

namespace win32 {

namespace {

// `text` in upper case, then lower case: one form for every case form of a letter. The
// invariant locale's mapping, one unit for one, whatever the user's locale (no Turkish dotless
// i). `upper` is room for the step between.
void fold(std::wstring& text, std::wstring& upper) {
  if (text.empty()) return;
  const int n = static_cast<int>(text.size());
  upper.resize(text.size());
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), n, &upper[0], n))
    LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, upper.data(), n, &text[0], n);
}

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void append_sort_key(std::string_view text, std::string& key) {
  // Kept from call to call: a list's keys are made one after another.
  thread_local std::wstring wide;
  to_utf16(text, wide);
  const int n = static_cast<int>(wide.size());
  thread_local DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE | SORT_DIGITSASNUMBERS;
  // The key is written where it goes: a few bytes for each character, asked for its size only
  // when that is not enough.
  const std::size_t at = key.size();
  auto map = [&](int capacity) {
    key.resize(at + static_cast<std::size_t>(capacity));
    return LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.c_str(), n,
                         capacity ? reinterpret_cast<LPWSTR>(&key[at]) : nullptr, capacity, nullptr, nullptr, 0);
  };
  const int room = n * 8 + 32;
  int got = map(room);
  if (!got && GetLastError() == ERROR_INVALID_FLAGS) {
    flags &= ~static_cast<DWORD>(SORT_DIGITSASNUMBERS);
    got = map(room);
  }
  if (!got && GetLastError() == ERROR_INSUFFICIENT_BUFFER) got = map(std::max(map(0), 0));
  // The key ends with a zero byte, which every key has: it orders nothing.
  key.resize(at + static_cast<std::size_t>(std::max(got - 1, 0)));
}

text_finder::text_finder(std::string_view text) {
  to_utf16(text, folded);
  fold(folded, scratch);
  for (wchar_t c : folded) {
    if (c >= 0x80) ascii = false;
    folded_ascii += static_cast<char>(c);
  }
  if (!ascii) folded_ascii.clear();
}

bool text_finder::found_in(std::string_view text) const {
  if (folded.empty()) return true;
  if (is_ascii(text)) {
    // An ASCII text folds to ASCII and holds no other character.
    if (!ascii || folded_ascii.size() > text.size()) return false;
    const auto equal = [](char a, char b) { return ascii_lower(a) == b; };
    return std::search(text.begin(), text.end(), folded_ascii.begin(), folded_ascii.end(), equal) != text.end();
  }
  to_utf16(text, scratch);
  fold(scratch, scratch_upper);
  return scratch.find(folded) != std::wstring::npos;
}

bool text_finder::within(const text_finder& other) const { return folded.find(other.folded) != std::wstring::npos; }

}  // namespace win32
