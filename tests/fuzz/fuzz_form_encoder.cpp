// The search form: whatever the title and ids hold, the body is the eight fields in order,
// each value in the form encoding's alphabet and decoding back to what was given.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "site/form_encoding.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

int hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes the encoding, checking that only its alphabet occurs.
std::string form_decode(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      FUZZ_CHECK(i + 2 < value.size() && hex(value[i + 1]) >= 0 && hex(value[i + 2]) >= 0);
      out += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
      i += 2;
    } else {
      const bool unreserved = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                              (c >= 'a' && c <= 'z') || c == '*' || c == '-' || c == '.' || c == '_';
      FUZZ_CHECK(unreserved);
      out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  archive_filters f;
  std::string* values[] = {&f.sort, &f.title, &f.difficulty, &f.platform, &f.lang, &f.type};
  for (std::string* v : values) *v = in.ConsumeRandomLengthString(64);
  const int start = in.ConsumeIntegral<int>();

  const std::string body = archive_form_body(f, start);
  const std::vector<std::pair<const char*, std::string>> want = {
      {"action", "archive"}, {"sort", f.sort}, {"title", f.title}, {"start", std::to_string(start)},
      {"difficulty", f.difficulty}, {"platform", f.platform}, {"lang", f.lang}, {"type", f.type}};
  std::size_t at = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    std::size_t end = body.find('&', at);
    if (end == std::string::npos) end = body.size();
    const std::string field = body.substr(at, end - at);
    const std::size_t eq = field.find('=');
    FUZZ_CHECK(eq != std::string::npos && field.substr(0, eq) == want[i].first);
    FUZZ_CHECK(form_decode(field.substr(eq + 1)) == want[i].second);
    at = end + 1;
  }
  FUZZ_CHECK(at == body.size() + 1);
  return 0;
}
