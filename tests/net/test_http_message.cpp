#include "net/http_message.hpp"
#include "net/http_fields.hpp"
#include "net/cookie_jar.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <new>
#include <string>
#include <vector>

// Every allocation of this test program is counted, so that a test can see how much a reading
// holds at most. A size header in front of each block keeps the count exact.
namespace {
std::atomic<std::size_t> live_bytes{0};
std::atomic<std::size_t> peak_bytes{0};
constexpr std::size_t header_bytes = alignof(std::max_align_t);

void* counted_new(std::size_t n) {
  void* p = std::malloc(n + header_bytes);
  if (!p) return nullptr;
  *static_cast<std::size_t*>(p) = n;
  const std::size_t now = live_bytes += n;
  for (std::size_t peak = peak_bytes; now > peak && !peak_bytes.compare_exchange_weak(peak, now);) {
  }
  return static_cast<char*>(p) + header_bytes;
}
void counted_delete(void* p) {
  if (!p) return;
  void* block = static_cast<char*>(p) - header_bytes;
  live_bytes -= *static_cast<std::size_t*>(block);
  std::free(block);
}
}  // namespace

void* operator new(std::size_t n) {
  if (void* p = counted_new(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return counted_new(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return counted_new(n); }
void operator delete(void* p) noexcept { counted_delete(p); }
void operator delete[](void* p) noexcept { counted_delete(p); }
void operator delete(void* p, std::size_t) noexcept { counted_delete(p); }
void operator delete[](void* p, std::size_t) noexcept { counted_delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { counted_delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { counted_delete(p); }

namespace {

// The most `f` held at once beyond what was held before it.
template <typename F>
std::size_t most_held(F f) {
  const std::size_t before = live_bytes;
  peak_bytes = before;
  f();
  return peak_bytes - before;
}

// A connection that delivers the given pieces, then nothing (closed).
struct pieces {
  // Empty pieces are dropped: an empty read means the connection closed.
  explicit pieces(std::vector<std::string> p) {
    for (auto& piece : p)
      if (!piece.empty()) queue.push_back(piece);
  }
  std::string operator()() {
    ++reads;
    if (queue.empty()) return std::string();
    std::string next = queue.front();
    queue.pop_front();
    return next;
  }
  std::deque<std::string> queue;
  int reads = 0;
};

http_resp read_all(std::vector<std::string> p, std::string* rest = nullptr, int* reads = nullptr) {
  pieces source(std::move(p));
  std::string pending;
  http_resp r = net::read_response([&] { return source(); }, pending);
  // What the next response would start from: the kept bytes, then the unread ones.
  if (rest) {
    *rest = pending;
    for (auto& piece : source.queue) *rest += piece;
  }
  if (reads) *reads = source.reads;
  return r;
}

std::string error_of(std::vector<std::string> p, net::error_kind* kind = nullptr) {
  try {
    read_all(std::move(p));
  } catch (const net::net_exception& e) {
    if (kind) *kind = e.kind;
    return e.what();
  }
  return "no exception";
}

// Every split of `wire` into two and three pieces must read as the whole does.
void expect_every_split(const std::string& wire, const std::string& body,
                        const std::string& rest = "") {
  for (std::size_t i = 0; i <= wire.size(); ++i) {
    std::string left;
    http_resp r = read_all({wire.substr(0, i), wire.substr(i)}, &left);
    ASSERT_EQ(r.body, body) << "split at " << i;
    ASSERT_EQ(left, rest) << "split at " << i;
    if (i % 7 == 0) {
      for (std::size_t j = i; j <= wire.size(); j += 5) {
        r = read_all({wire.substr(0, i), wire.substr(i, j - i), wire.substr(j)}, &left);
        ASSERT_EQ(r.body, body) << "splits at " << i << ", " << j;
      }
    }
  }
}

}  // namespace

TEST(HttpHeaders, FieldLines) {
  http_headers h(
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nDate: Wed, 09 Dec 2026 10:50:15 GMT\r\n"
      "X-Note: a: b\r\nNoSpace:x\r\nSet-Cookie: b=2; path=/\r\nEmpty: \r\n: lone");
  EXPECT_EQ(h["Set-Cookie"], "a=1; path=/;b=2; path=/");
  EXPECT_EQ(h["Date"], "Wed, 09 Dec 2026 10:50:15 GMT");
  EXPECT_EQ(h["X-Note: a"], "b");
  EXPECT_EQ(h.count("X-Note"), 0u);
  EXPECT_EQ(h.count("NoSpace"), 0u);
  EXPECT_EQ(h.count("Empty"), 0u);
  EXPECT_EQ(h.count(""), 0u);
  EXPECT_EQ(h.size(), 3u);
  // A name may itself end in ": " when the value follows a later one.
  EXPECT_EQ(http_headers("A: : b")["A: "], "b");
  // A very long line (policies, cookies) is read without recursion.
  EXPECT_EQ(http_headers("Long: " + std::string(200000, 'v'))["Long"].size(), 200000u);

  http_headers one;
  EXPECT_EQ(one.str(), "");
  one["Host"] = "example";
  EXPECT_EQ(one.str(), "Host: example\r\n");
}

// What the client reads of a reply's fields: names in any case, the connection's end, every
// cookie on its own.
TEST(HttpFields, WhatAReplySays) {
  const http_resp reply(
      "HTTP/1.1 200 OK\r\ncontent-TYPE: text/html\r\nConnection: Close\r\n"
      "Set-Cookie: a=1; path=/\r\nset-cookie: b=2\r\n\r\n");
  EXPECT_EQ(net::field_of(reply.headers, "Content-Type"), "text/html");
  EXPECT_EQ(reply.headers.count("CONTENT-type"), 1u);
  EXPECT_EQ(net::field_of(reply.headers, "Location"), "");
  EXPECT_TRUE(net::closes_after(reply));
  EXPECT_EQ(reply.cookies, (std::vector<std::string>{"a=1; path=/", "b=2"}));
  EXPECT_EQ(reply.headers.at("Set-Cookie"), "a=1; path=/;b=2");
  const http_resp kept("HTTP/1.1 200 OK\r\nconnection: keep-alive\r\n\r\n");
  EXPECT_FALSE(net::closes_after(kept));
  EXPECT_TRUE(kept.cookies.empty());
  // HTTP/1.0 keeps a connection only when it says so; framing by both fields ends it.
  EXPECT_TRUE(net::closes_after(http_resp("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\n")));
  EXPECT_FALSE(net::closes_after(http_resp("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n\r\n")));
  EXPECT_TRUE(net::closes_after(http_resp("HTTP/1.1 200 OK\r\nConnection: upgrade, close\r\n\r\n")));
  EXPECT_TRUE(net::closes_after(
      http_resp("HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\nContent-Length: 3\r\n\r\n")));
}

// A browser's jar for one site: names replaced in place, removed by a past expiry, attributes
// not sent back.
TEST(CookieJar, KeepsWhatABrowserKeeps) {
  const std::int64_t now = 1800000000;  // 2027-01-15
  net::cookie_jar jar;
  EXPECT_EQ(jar.header(), "");
  jar.take({"sid=abc; path=/; HttpOnly", "theme = dark ; Max-Age=3600", "lang=en; Expires=Wed, 09 Jun 2077 10:18:14 GMT",
            "novalue", "=anonymous", "old=1; expires=Thu, 01 Jan 1970 00:00:00 GMT"},
           now);
  EXPECT_EQ(jar.header(), "sid=abc; theme=dark; lang=en");
  jar.take({"theme=light", "sid=; Max-Age=0", "lang=fr; Max-Age=60; Expires=Thu, 01-Jan-1970 00:00:00 GMT",
            "x=1; Max-Age=junk", "y=2; Expires=not a date", std::string("big=") + std::string(5000, 'v')},
           now);
  EXPECT_EQ(jar.header(), "theme=light; lang=fr; x=1; y=2");
  jar.take({"lang=de; max-age=-1", "theme=gone; Expires=Fri, 15 Jan 2027 08:00:00 GMT"}, now);
  EXPECT_EQ(jar.header(), "x=1; y=2");
  for (int i = 0; i < 60; ++i) jar.take({"c" + std::to_string(i) + "=" + std::to_string(i)}, now);
  EXPECT_EQ(jar.header().find("x=1"), std::string::npos) << "the earliest go beyond the limit";
  EXPECT_EQ(jar.header().rfind("c59=59"), jar.header().size() - 6);
}

TEST(CookieJar, DatesAsCookiesWriteThem) {
  std::int64_t t = 0;
  ASSERT_TRUE(net::cookie_date("Thu, 01 Jan 1970 00:00:00 GMT", t));
  EXPECT_EQ(t, 0);
  ASSERT_TRUE(net::cookie_date("Wed, 09-Jun-21 10:18:14 GMT", t));
  EXPECT_EQ(t, 1623233894);
  ASSERT_TRUE(net::cookie_date("Sunday, 06-Nov-94 08:49:37 GMT", t));
  EXPECT_EQ(t, 784111777);
  ASSERT_TRUE(net::cookie_date("Sun Nov  6 08:49:37 1994", t));
  EXPECT_EQ(t, 784111777);
  ASSERT_TRUE(net::cookie_date("29 feb 2000 23:59:59", t));
  EXPECT_EQ(t, 951868799);
  for (const char* bad : {"", "yesterday", "Thu, 32 Jan 1970 00:00:00", "Thu, 01 Jan 1500 00:00:00",
                          "Thu, 01 Jan 1970 24:00:00", "Thu, 01 Foo 1970 00:00:00", "Thu, 01 Jan 1970"})
    EXPECT_FALSE(net::cookie_date(bad, t)) << bad;
}

TEST(HttpRequest, PostOfAFormBody) {
  http_headers fields;
  fields["Host"] = "archive";
  fields["Content-Length"] = "999";
  const std::string wire = net::write_request("/archive/", "action=archive", fields);
  EXPECT_EQ(fields["Content-Length"], "999");  // the caller's collection is a copy
  ASSERT_EQ(wire.rfind("POST /archive/ HTTP/1.1\r\n", 0), 0u);
  const std::size_t end = wire.find("\r\n\r\n");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(wire.substr(end + 4), "action=archive");
  http_headers sent(wire.substr(0, end));
  EXPECT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent["Content-Length"], "14");
  EXPECT_EQ(sent["Content-Type"], "application/x-www-form-urlencoded");
  EXPECT_EQ(sent["Host"], "archive");

  const std::string empty = net::write_request("/", "", http_headers());
  EXPECT_NE(empty.find("Content-Length: 0\r\n"), std::string::npos);
}

TEST(HttpResponse, FirstPiece) {
  http_resp r("HTTP/1.1 404 Not Found\r\nA: 1\r\n\r\nbody");
  EXPECT_EQ(r.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(r.headers["A"], "1");
  EXPECT_EQ(r.body, "body");
  EXPECT_EQ(r.dump(), "HTTP/1.1 404 Not Found \nA: 1\r\nbody");
  try {
    http_resp("HTTP/1.1 200 OK\r\n");
    FAIL();
  } catch (const net::net_exception& e) {
    EXPECT_STREQ(e.what(), "malformed http_resp(no \\r\\n\\r\\n)");
    EXPECT_EQ(e.kind, net::error_kind::malformed_reply);
  }
}

TEST(HttpResponse, SizedBodySplitAnywhere) {
  const std::string wire = "HTTP/1.1 200 OK\r\nContent-Length: 11\r\nX: y\r\n\r\nhello world";
  expect_every_split(wire, "hello world");
  // The next response's bytes are kept for it, not glued to this body.
  expect_every_split(wire + "HTTP/1.1", "hello world", "HTTP/1.1");

  int reads = 0;
  EXPECT_EQ(read_all({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, nullptr, &reads).body, "");
  EXPECT_EQ(reads, 1);
  const std::string big(30000, 'x');
  EXPECT_EQ(read_all({"HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n" + big.substr(0, 5),
                      big.substr(5, 10240), big.substr(10245, 10240), big.substr(20485)},
                     nullptr, &reads).body, big);
  EXPECT_EQ(reads, 4);
}

TEST(HttpResponse, ChunkedBodyIsDecodedWhereverItIsSplit) {
  const std::string wire =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
      "5;name=value\r\nhello\r\n"
      "D\r\n entry\r\n0\r\n\r\n\r\n"  // chunk data holding the old end marker
      "0\r\nX-Trailer: 1\r\n\r\n";
  expect_every_split(wire, "hello entry\r\n0\r\n\r\n");
  expect_every_split(wire + "next", "hello entry\r\n0\r\n\r\n", "next");
  int reads = 0;
  read_all({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n\r\n"}, nullptr,
           &reads);
  EXPECT_EQ(reads, 1);
  // Both fields: chunked wins.
  EXPECT_EQ(read_all({"HTTP/1.1 200 OK\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "2\r\nab\r\n0\r\n\r\n"}).body, "ab");
}

// RFC 9112 6.1 to 6.3 as servers write them: names in any case, transfer codings as a list,
// Content-Length repeated.
TEST(HttpResponse, FramingAsServersWriteIt) {
  // Lower-case names, and a chunked coding spelt in capitals beside a length: the chunks
  // frame it, and nothing of their framing is left for the next reply.
  expect_every_split("HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello", "hello");
  const std::string both =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\nContent-Length: 3\r\n\r\n"
      "3\r\nabc\r\n3\r\ndef\r\n0\r\n\r\n";
  expect_every_split(both + "HTTP/1.1", "abcdef", "HTTP/1.1");
  EXPECT_EQ(read_all({"HTTP/1.1 200 OK\r\ntransfer-encoding:  chunked \r\n\r\n1\r\nz\r\n0\r\n\r\n"}).body, "z");
  // The same length twice, in a list or in two fields, is that length.
  EXPECT_EQ(read_all({"HTTP/1.1 200 OK\r\nContent-Length: 2, 2\r\n\r\nok"}).body, "ok");
  EXPECT_EQ(read_all({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\ncontent-length: 2\r\n\r\nok"}).body, "ok");
  net::error_kind kind = net::error_kind::other;
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc"}, &kind),
            "malformed http_resp(differing Content-Length values)");
  EXPECT_EQ(kind, net::error_kind::malformed_reply);
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nContent-Length: 3, 4\r\n\r\nabcd"}),
            "malformed http_resp(differing Content-Length values)");
  // Codings the client does not decode, even with chunked last, are refused by name.
  for (const char* coding : {"gzip, chunked", "gzip", "identity", "chunked, chunked", "chunked;q=1"}) {
    SCOPED_TRACE(coding);
    EXPECT_EQ(error_of({std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: ") + coding +
                        "\r\nContent-Length: 1\r\n\r\n1\r\na\r\n0\r\n\r\n"},
                       &kind),
              std::string("http_resp transfer coding not supported: ") + coding);
    EXPECT_EQ(kind, net::error_kind::malformed_reply);
  }
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"}),
            "http_resp transfer coding not supported: gzip;chunked");
  // Extensions and trailers within their limits are read past; beyond them, refused.
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string extension = ";e=" + std::string(net::max_chunk_line_bytes - 4, 'x');
  EXPECT_EQ(read_all({chunked + "1" + extension + "\r\na\r\n0\r\n\r\n"}).body, "a");
  EXPECT_EQ(error_of({chunked + "1" + extension + "x\r\na\r\n0\r\n\r\n"}), "malformed http_resp(bad chunked body)");
  const std::string field = "T: " + std::string(1000, 't') + "\r\n";
  std::string trailer;
  while (trailer.size() + field.size() <= net::max_trailer_bytes) trailer += field;
  EXPECT_EQ(read_all({chunked + "1\r\na\r\n0\r\n" + trailer + "\r\n"}).body, "a");
  EXPECT_EQ(error_of({chunked + "1\r\na\r\n0\r\n" + trailer + field + "\r\n"}),
            "malformed http_resp(bad chunked body)");
}

// A server's bytes in a diagnostic: short, and nothing a terminal would act on.
TEST(HttpResponse, DiagnosticsShowLittleAndEscapeControls) {
  EXPECT_EQ(net::printable("HTTP/1.1 200 OK\r\nX: \x1b[2J\\\xff\t"), "HTTP/1.1 200 OK\\r\\nX: \\x1b[2J\\\\\\xff\\t");
  const std::string shown = net::printable(std::string(1000, 'a'));
  EXPECT_EQ(shown, std::string(net::max_diagnostic_bytes, 'a') + "... (700 more bytes)");
  testing::internal::CaptureStdout();
  error_of({"HTTP/1.1 200 OK\r\nX: \x1b]0;title\x07\r\n\r\n" + std::string(5000, 'b')});
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_LT(out.size(), 2 * net::max_diagnostic_bytes) << out;
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
  EXPECT_NE(out.find("X: \\x1b]0;title\\x07"), std::string::npos) << out;
}

TEST(HttpResponse, Failures) {
  const std::string no_head = "malformed http_resp(no \\r\\n\\r\\n)";
  // The same words as a head without its end, but the connection closed first.
  net::error_kind kind = net::error_kind::other;
  EXPECT_EQ(error_of({}, &kind), no_head);
  EXPECT_EQ(kind, net::error_kind::closed);
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nContent-Len"}), no_head);
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\n" + std::string(70000, 'h')}),
            "malformed http_resp(head over the limit)");
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nA: b\r\n\r\n"}, &kind), "no chunked or content-length?");
  EXPECT_EQ(kind, net::error_kind::malformed_reply);
  // A read that gives nothing before the end of the body ends the reading.
  const std::string cut = "connection closed before the end of the http_resp body";
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}), cut);
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"}), cut);
  for (const char* bad : {"-1", "abc", "1x", "", "+3", "5 5"})
    EXPECT_EQ(error_of({std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + bad + "\r\n\r\n"}),
              bad[0] ? "malformed http_resp(bad Content-Length)" : "no chunked or content-length?")
        << bad;
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n"}),
            "http_resp body over the limit");
  EXPECT_EQ(error_of({"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n"}),
            "http_resp body over the limit");
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  EXPECT_EQ(error_of({chunked + "FFFFFFFFFFFFFFFFFFFF\r\n"}), "http_resp body over the limit");
  EXPECT_EQ(error_of({chunked + "4000001\r\n"}), "http_resp body over the limit");
  EXPECT_EQ(error_of({chunked + "x\r\n"}), "malformed http_resp(bad chunked body)");
  EXPECT_EQ(error_of({chunked + "2\r\nabc\r\n"}), "malformed http_resp(bad chunked body)");
}

// A reply's bytes made as they are read, the way a connection hands them over: the head, then
// `chunks` chunks of `chunk` bytes each (framed with `extension` after the size when chunked,
// or all of them sized), in pieces of a read's size. Each piece is the only thing it allocates
// while it is read, as a socket's read allocates its piece.
struct generated_reply {
  generated_reply(bool chunked, std::size_t chunks_, std::size_t chunk, const std::string& extension)
      : chunks(chunks_) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx", chunk);
    head = chunked ? "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                   : "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(chunks * chunk) + "\r\n\r\n";
    unit = chunked ? size + extension + "\r\n" + std::string(chunk, 'b') + "\r\n" : std::string(chunk, 'b');
    tail = chunked ? "0\r\n\r\n" : "";
    total = head.size() + chunks * unit.size() + tail.size();
  }
  char at(std::size_t i) const {
    if (i < head.size()) return head[i];
    i -= head.size();
    if (i < chunks * unit.size()) return unit[i % unit.size()];
    return tail[i - chunks * unit.size()];
  }
  std::string operator()() {
    std::string piece(std::min(net::read_piece_bytes, total - sent), '\0');
    for (char& c : piece) c = at(sent++);
    return piece;
  }
  std::size_t chunks, total, sent = 0;
  std::string head, unit, tail;
};

// What a reading holds beyond its body is bounded, whatever the framing: the reply is read as
// a body grown chunk by chunk costs (the reference, in the same run), plus at most its head and
// a piece or two. A client keeps no more than that for the next reply.
TEST(HttpResponse, MemoryStaysWithinTheBodyAndABound) {
  const struct {
    const char* what;
    bool chunked;
    std::size_t chunks, chunk;
    std::string extension;
  } replies[] = {
      {"20,000 one-byte chunks with 4,000-byte extensions", true, 20000, 1, ";e=" + std::string(3997, 'x')},
      {"a 256 KiB body in one-byte chunks", true, 1 << 18, 1, ""},
      {"an 8 MiB body in 16 KB chunks", true, 512, 16384, ""},
      {"an 8 MiB sized body", false, 512, 16384, ""},
  };
  const std::size_t bound = net::max_head_bytes + 2 * net::read_piece_bytes;
  for (const auto& r : replies) {
    SCOPED_TRACE(r.what);
    std::string pending;
    std::size_t body_size = 0;
    generated_reply source(r.chunked, r.chunks, r.chunk, r.extension);
    const std::size_t held = most_held([&] { body_size = net::read_response(source, pending).body.size(); });
    ASSERT_EQ(body_size, r.chunks * r.chunk);
    const std::size_t body_alone = most_held([&] {
      std::string body;
      const std::string piece(r.chunk, 'b');
      for (std::size_t i = 0; i < r.chunks; ++i) body += piece;
    });
    std::printf("%s: %zu bytes held at most for a body of %zu (the body alone: %zu)\n", r.what, held, body_size,
                body_alone);
    EXPECT_LE(held, body_alone + bound);
    EXPECT_LE(pending.capacity(), bound) << "kept for the next reply";
  }
}
