#pragma once
// The toolkit's fatal assertion. It guards programming errors (a class that cannot be
// registered, a window that cannot be created, a malformed layout, a column over a field of
// another type), so it stays on in release builds: the message gives the failed condition as
// written, the file and the line, then the process aborts. A fixed text is asserted as
// VEX_ASSERT(!"text"), or joined to a condition as VEX_ASSERT(cond && "text").
//
// Portable: the column model asserts with it in the native build too.

#include <cstdio>
#include <cstdlib>

namespace gui {

[[noreturn]] inline void fail_assertion(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition, file, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace gui

#define VEX_ASSERT(cond) ((cond) ? (void)0 : ::gui::fail_assertion(#cond, __FILE__, __LINE__))
