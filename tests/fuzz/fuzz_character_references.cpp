// Decoding names: never longer than the text, nothing changes without an "&", and a line
// end, which no reference can contain, splits the text into parts decoded on their own.
#include <cstdint>
#include <string>

#include "site/html_text.hpp"
#include "fuzz/fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string shown = decode_character_references(text);
  FUZZ_CHECK(shown.size() <= text.size());
  if (text.find('&') == std::string::npos) FUZZ_CHECK(shown == text);
  const std::string a = text.substr(0, size / 2), b = text.substr(size / 2);
  FUZZ_CHECK(decode_character_references(a + "\n" + b) ==
             decode_character_references(a) + "\n" + decode_character_references(b));
  return 0;
}
