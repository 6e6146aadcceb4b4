// The page parser never fails on any text, and on texts the regular expression can take it
// finds exactly the entries the pattern defines.
#include <cstdint>
#include <string>

#include "site/archive_parser.hpp"
#include "site/page_generator.hpp"
#include "fuzz/fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  const std::vector<row> rows = parse_archive_page(page);
  if (size > fuzz::oracle_max_bytes) return 0;
  const std::vector<row> want = pages::regex_parse(page);
  FUZZ_CHECK(rows.size() == want.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (const char* key : {"url", "name", "difficulty"})
      FUZZ_CHECK(rows[i].at(key).as<std::string>() == want[i].at(key).as<std::string>());
    FUZZ_CHECK(rows[i].at("solved").as<bool>() == want[i].at("solved").as<bool>());
  }
  return 0;
}
