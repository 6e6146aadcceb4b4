#pragma once
// The toolkit's fatal assertions. They guard programming errors (a malformed layout, a column
// over a field of another type), so they stay on in release builds: the message names the
// failed condition and the header it stands in, then the process aborts.

namespace gui {

[[noreturn]] void fail_assertion(const char* text, const char* where, int line);

}  // namespace gui

#define VEX_CHECK(cond, text, where) \
  ((cond) ? (void)0 : ::gui::fail_assertion((text), (where), __LINE__))
