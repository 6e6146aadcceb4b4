// The result count never fails on any text, and on texts the regular expression can take
// it reads the count the pattern defines.
#include <cstdint>
#include <string>

#include "site/page_generator.hpp"
#include "site/result_count.hpp"
#include "fuzz/fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  const std::optional<int> count = find_result_count(page);
  if (size <= fuzz::oracle_max_bytes) FUZZ_CHECK(count == pages::regex_count(page));
  return 0;
}
