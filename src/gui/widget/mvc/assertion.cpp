#include "gui/widget/mvc/assertion.hpp"

#include <cstdio>
#include <cstdlib>

namespace gui {

void fail_assertion(const char* text, const char* where, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", text, where, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace gui
