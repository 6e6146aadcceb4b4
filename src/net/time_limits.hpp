#pragma once
// How long the HTTP client waits for a server, as its defaults (net::http's members may be
// set otherwise). Portable, so that the status line can say how long was waited.

namespace net {

// A reply that stops (before its first byte or in the middle) is given up after this long
// without a byte.
constexpr int read_timeout_default_ms = 30 * 1000;
// A reply that keeps coming, but too slowly to be whole within this many read time-outs, is
// given up too: a byte now and then would otherwise keep a page open for ever.
constexpr int reply_timeout_reads = 4;
constexpr int reply_timeout_default_ms = reply_timeout_reads * read_timeout_default_ms;

}  // namespace net
