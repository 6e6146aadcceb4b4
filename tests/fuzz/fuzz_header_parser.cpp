// The head's fields read as the documented pattern reads them: every match of
// "(.+): (.+)" searched again after the previous one, repeated names joined by ";".
#include <cstdint>
#include <regex>
#include <string>

#include "fuzz/fuzz_check.hpp"
#include "net/http_message.hpp"

namespace {

http_headers regex_headers(const std::string& head) {
  http_headers fields;
  const std::regex pattern("(.+): (.+)");
  std::smatch m;
  std::string rest = head;
  while (std::regex_search(rest, m, pattern)) {
    auto it = fields.find(m[1].str());
    if (it == fields.end()) fields.emplace(m[1].str(), m[2].str());
    else it->second += ";" + m[2].str();
    rest = m.suffix().str();
  }
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string head(reinterpret_cast<const char*>(data), size);
  const http_headers fields(head);
  if (size <= fuzz::oracle_max_bytes) FUZZ_CHECK(fields == regex_headers(head));
  return 0;
}
