#include "net/http_message.hpp"
#include "net/http_fields.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

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

// What the client reads of a reply's fields: names in any case, the connection's end, the
// cookie to send back.
TEST(HttpFields, WhatAReplySays) {
  const http_resp reply(
      "HTTP/1.1 200 OK\r\ncontent-TYPE: text/html\r\nConnection: Close\r\n"
      "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n");
  EXPECT_EQ(net::field_of(reply.headers, "Content-Type"), "text/html");
  EXPECT_EQ(net::field_of(reply.headers, "Location"), "");
  EXPECT_TRUE(net::closes_after(reply));
  EXPECT_EQ(net::cookie_of(reply), "a=1; path=/;b=2");
  const http_resp kept("HTTP/1.1 200 OK\r\nconnection: keep-alive\r\n\r\n");
  EXPECT_FALSE(net::closes_after(kept));
  EXPECT_EQ(net::cookie_of(kept), "");
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
  for (const char* bad : {"-1", "abc", "1x", "", "5;5", "+3"})
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
