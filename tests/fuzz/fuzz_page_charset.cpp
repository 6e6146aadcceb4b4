// Any reply read as a page: its first line stands for the Content-Type, the rest for the
// body. The text is always UTF-8 (reading it again as UTF-8 changes nothing), and whatever
// it holds, the state file's form of it reads back as the same characters.
#include <cstdint>
#include <string>

#include "site/charset.hpp"
#include "site/html_text.hpp"
#include "site/text_encoding.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

// The control characters U+0080..U+009F that the state file cannot hold (site/html_text.hpp):
// their UTF-8 is C2 80..C2 9F.
bool has_c1_control(const std::string& utf8) {
  for (std::size_t i = 0; i + 1 < utf8.size(); ++i)
    if (static_cast<unsigned char>(utf8[i]) == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F)
      return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = input.find('\n');
  const std::string content_type = input.substr(0, line_end);
  const std::string body = line_end == std::string::npos ? std::string() : input.substr(line_end + 1);

  const std::string text = page_text(body, content_type);
  FUZZ_CHECK(valid_utf8(text) == text);
  FUZZ_CHECK(text.size() <= 3 * body.size());

  const std::string kept = windows_1252_html(text);
  const std::string back = read_windows_1252_html(kept);
  FUZZ_CHECK(valid_utf8(back) == back);
  if (!has_c1_control(text)) FUZZ_CHECK(back == text);
  FUZZ_CHECK(windows_1252_html(back) == kept);
  return 0;
}
