#pragma once
// What the fuzz targets share: a check that stops the run with its condition's text, so
// that libFuzzer keeps the input that broke it, and the length up to which the
// std::regex oracles are asked (their recursion grows with the text; sanitizer frames are
// large).

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                  \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);       \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

namespace fuzz {
constexpr std::size_t oracle_max_bytes = 1024;
}  // namespace fuzz
