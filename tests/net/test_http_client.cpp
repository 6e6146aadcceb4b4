#include "net/http.hpp"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/name_lookup.hpp"
#include "win32/last_error.hpp"

namespace {

// A loopback server on an ephemeral port. Each accepted connection is handed to `serve`
// on the server's thread; the fixture stops it in tear-down.
class Loopback : public testing::Test {
 protected:
  void SetUp() override {
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(listener, INVALID_SOCKET);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    int len = sizeof a;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    ASSERT_EQ(listen(listener, 4), 0);
  }
  void TearDown() override {
    if (listener != INVALID_SOCKET) closesocket(listener);
    listener = INVALID_SOCKET;
    if (server.joinable()) server.join();
  }

  void serve(std::function<void(SOCKET)> each) {
    server = std::thread([this, each] {
      for (;;) {
        SOCKET c = accept(listener, nullptr, nullptr);
        if (c == INVALID_SOCKET) return;
        each(c);
        closesocket(c);
      }
    });
  }

  // Reads one request (head and sized body) from the client.
  static std::string read_request(SOCKET c) {
    std::string got;
    char buf[4096];
    for (;;) {
      const std::size_t end = got.find("\r\n\r\n");
      if (end != std::string::npos) {
        const std::size_t cl = got.find("Content-Length: ");
        const std::size_t length = cl < end ? std::stoul(got.substr(cl + 16)) : 0;
        if (got.size() >= end + 4 + length) return got;
      }
      const int n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) return got;
      got.append(buf, static_cast<std::size_t>(n));
    }
  }
  // Fills the listener's queue without accepting, so that the next connect waits.
  std::vector<SOCKET> fill_backlog() const {
    std::vector<SOCKET> fillers;
    for (int i = 0; i < 16; ++i) {
      SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      u_long nonblocking = 1;
      ioctlsocket(s, FIONBIO, &nonblocking);
      sockaddr_in a = {};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<u_short>(port));
      ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
      fillers.push_back(s);
    }
    Sleep(200);
    return fillers;
  }
  static void send_all(SOCKET c, const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
      const int n = send(c, s.data() + i, static_cast<int>(s.size() - i), 0);
      if (n <= 0) return;
      i += static_cast<std::size_t>(n);
    }
  }

  SOCKET listener = INVALID_SOCKET;
  int port = 0;
  std::thread server;
};

std::string message_of(const std::function<void()>& f, net::error_kind* kind = nullptr) {
  try {
    f();
  } catch (const net::net_exception& e) {
    if (kind) *kind = e.kind;
    return e.what();
  }
  return "no exception";
}

const char* const no_head = "malformed http_resp(no \\r\\n\\r\\n)";

}  // namespace

TEST_F(Loopback, KeepAliveExchangesSizedAndChunked) {
  std::vector<std::string> requests;
  serve([&](SOCKET c) {
    requests.push_back(read_request(c));
    send_all(c, "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\nContent-Length: 5\r\n\r\nfirst");
    requests.push_back(read_request(c));
    // The chunked reply dribbles out a byte at a time.
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nsec\r\n3\r\nond\r\n0\r\n\r\n";
    for (char ch : chunked) send_all(c, std::string(1, ch));
  });
  net::http client;
  client.set_address("127.0.0.1", port);
  client.connect();
  http_headers fields;
  fields["Connection"] = "keep-alive";
  fields["Host"] = "archive";
  client.post("/archive/", "action=archive", fields);
  http_resp first = client.read_response();
  EXPECT_EQ(first.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(first.body, "first");
  fields["cookie"] = first.headers["Set-Cookie"];
  client.post("/archive/", "start=20", fields);
  EXPECT_EQ(client.read_response().body, "second");
  client.close();
  TearDown();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind("POST /archive/ HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(requests[0].find("Content-Length: 14\r\n"), std::string::npos);
  EXPECT_EQ(requests[0].find("cookie"), std::string::npos);
  EXPECT_NE(requests[1].find("cookie: s=1\r\n"), std::string::npos);
}

TEST_F(Loopback, ServerClosingAfterAReplyFailsTheNextExchange) {
  serve([&](SOCKET c) {
    read_request(c);
    send_all(c, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  net::http client;
  client.set_address("127.0.0.1", port);
  client.connect();
  client.post("/", "", http_headers());
  EXPECT_EQ(client.read_response().body, "ok");
  client.post("/", "", http_headers());
  net::error_kind kind = net::error_kind::other;
  EXPECT_EQ(message_of([&] { client.read_response(); }, &kind), no_head);
  EXPECT_EQ(kind, net::error_kind::closed);
  // A fresh connect starts over once the cancel is forgotten.
  client.close();
  client.clear_cancel();
  client.connect();
  client.post("/", "", http_headers());
  EXPECT_EQ(client.read_response().body, "ok");
}

// Signals once the body has started to arrive; the wait for the rest of it follows at
// once. A close from then on, before or during that wait, must end the read.
struct watched_http : net::http {
  std::string recv(int maximum) override {
    std::string piece = net::http::recv(maximum);
    if (piece.find("partial") != std::string::npos) SetEvent(reading_rest);
    return piece;
  }
  HANDLE reading_rest = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

TEST_F(Loopback, CloseFromAnotherThreadEndsABlockedRead) {
  HANDLE replied = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  serve([&](SOCKET c) {
    read_request(c);
    send_all(c, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
    // The rest comes only if the cancel failed to end the read, which then succeeds.
    if (WaitForSingleObject(replied, 10000) == WAIT_TIMEOUT) send_all(c, std::string(93, 'x'));
  });
  watched_http client;
  client.set_address("127.0.0.1", port);
  client.connect();
  client.post("/", "", http_headers());
  std::thread cancel([&] {
    WaitForSingleObject(client.reading_rest, 10000);
    Sleep(100);  // most likely waiting for the rest by now; either way the read must end
    client.close();
  });
  net::error_kind kind = net::error_kind::other;
  EXPECT_EQ(message_of([&] { client.read_response(); }, &kind),
            "connection closed before the end of the http_resp body");
  EXPECT_EQ(kind, net::error_kind::cancelled);
  cancel.join();
  SetEvent(replied);
  // Every later use of the closed socket fails at once.
  EXPECT_EQ(client.recv(10), "");
  EXPECT_EQ(message_of([&] { client.read_response(); }), no_head);
  CloseHandle(client.reading_rest);
  CloseHandle(replied);
}

TEST_F(Loopback, CloseDuringConnectMakesItFail) {
  const std::vector<SOCKET> fillers = fill_backlog();
  net::http client;
  client.set_address("127.0.0.1", port);
  std::thread cancel([&] {
    Sleep(500);
    client.close();
  });
  net::error_kind kind = net::error_kind::other;
  const std::string message = message_of([&] { client.connect(); }, &kind);
  cancel.join();
  EXPECT_EQ(message.rfind("socket connect error ", 0), 0u) << message;
  EXPECT_EQ(kind, net::error_kind::cancelled);
  // Ended by the cancel, not by the system giving up on the peer.
  EXPECT_EQ(message.find(" 10060: "), std::string::npos) << message;
  for (SOCKET s : fillers) closesocket(s);
}

// The system may take only part of what a send offers; the rest must follow.
struct dribbling_http : net::http {
  int send(const std::string& data) override {
    ++sends;
    return net::http::send(data.substr(0, 7));
  }
  int sends = 0;
};

TEST_F(Loopback, PartialSendsStillDeliverTheWholeRequest) {
  std::string request;
  serve([&](SOCKET c) {
    request = read_request(c);
    send_all(c, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  dribbling_http client;
  client.set_address("127.0.0.1", port);
  client.connect();
  const std::string body(100, 'b');
  client.post("/archive/", body, http_headers());
  EXPECT_EQ(client.read_response().body, "ok");
  TearDown();
  EXPECT_EQ(request.size(), net::write_request("/archive/", body, http_headers()).size());
  EXPECT_EQ(request.substr(request.size() - body.size()), body);
  EXPECT_GT(client.sends, 20);
  // A send that fails says why, in the form of every socket error.
  client.close();
  const std::string message = message_of([&] { client.post("/", "", http_headers()); });
  SetLastError(WSAENOTSOCK);
  EXPECT_EQ(message, win32::last_error_text("socket send error"));
}

TEST_F(Loopback, SilentServerTimesOut) {
  int exchanges = 0;
  serve([&](SOCKET c) {
    read_request(c);
    // Nothing at all the first time; the head and part of the body the second. Then
    // silence until the client goes away.
    if (exchanges++ > 0) send_all(c, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart");
    char byte;
    recv(c, &byte, 1, 0);
  });
  net::http client;
  client.read_timeout_ms = 300;
  client.set_address("127.0.0.1", port);
  for (int i = 0; i < 2; ++i) {
    client.connect();
    client.post("/", "", http_headers());
    net::error_kind kind = net::error_kind::other;
    EXPECT_EQ(message_of([&] { client.read_response(); }, &kind), "http_resp timed out (no byte for 300 ms)");
    EXPECT_EQ(kind, net::error_kind::timed_out);
  }
  client.close();
  TearDown();
  EXPECT_EQ(exchanges, 2);
  // A connect nobody answers.
  SetUp();
  const std::vector<SOCKET> fillers = fill_backlog();
  net::http waiting;
  waiting.connect_timeout_ms = 300;
  waiting.set_address("127.0.0.1", port);
  EXPECT_EQ(message_of([&] { waiting.connect(); }), "socket connect timed out (no answer in 300 ms)");
  for (SOCKET s : fillers) closesocket(s);
}

// A byte now and then keeps every read within its time-out, but not the whole reply.
TEST_F(Loopback, TricklingServerIsGivenUpAfterTheWholeReplyLimit) {
  bool closed_by_client = false;
  serve([&](SOCKET c) {
    read_request(c);
    send_all(c, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    // Until the client goes away: a send fails then, or the client's close reads as one.
    for (int i = 0; i < 1000; ++i) {
      Sleep(50);
      if (send(c, "x", 1, 0) != 1) break;
    }
    char byte;
    closed_by_client = recv(c, &byte, 1, 0) <= 0;
  });
  net::http client;
  client.read_timeout_ms = 300;
  client.reply_timeout_ms = 1000;
  client.set_address("127.0.0.1", port);
  client.connect();
  client.post("/", "", http_headers());
  net::error_kind kind = net::error_kind::other;
  EXPECT_EQ(message_of([&] { client.read_response(); }, &kind), "http_resp timed out (not whole after 1000 ms)");
  EXPECT_EQ(kind, net::error_kind::too_slow);
  TearDown();
  EXPECT_TRUE(closed_by_client);
}

// A reply whose framing the client refuses ends its connection: where the next reply would
// start is not known.
TEST_F(Loopback, RefusedFramingClosesTheConnection) {
  bool closed_by_client = false;
  serve([&](SOCKET c) {
    read_request(c);
    send_all(c, "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n");
    char byte;
    closed_by_client = recv(c, &byte, 1, 0) == 0;
  });
  net::http client;
  client.set_address("127.0.0.1", port);
  client.connect();
  client.post("/", "", http_headers());
  EXPECT_EQ(message_of([&] { client.read_response(); }), "http_resp transfer coding not supported: gzip, chunked");
  TearDown();
  EXPECT_TRUE(closed_by_client);
}

// A secure client whose handshake failed has no way to send: the request is refused, never
// written in the clear.
TEST_F(Loopback, FailedHandshakeLeavesNothingToSendThrough) {
  std::string received;
  serve([&](SOCKET c) {
    char buf[4096];
    int n = recv(c, buf, sizeof buf, 0);
    send_all(c, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
    shutdown(c, SD_SEND);
    for (; n > 0; n = recv(c, buf, sizeof buf, 0)) received.append(buf, static_cast<std::size_t>(n));
  });
  net::http client;
  client.set_address("127.0.0.1", port, true);
  net::error_kind kind = net::error_kind::other;
  const std::string message = message_of([&] { client.connect(); }, &kind);
  EXPECT_EQ(message.rfind("TLS handshake error ", 0), 0u) << message;
  EXPECT_EQ(kind, net::error_kind::tls_handshake);
  SetLastError(WSAENOTCONN);
  EXPECT_EQ(message_of([&] { client.post("/archive/", "start=0", http_headers()); }),
            win32::last_error_text("socket send error"));
  client.close();
  TearDown();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0], '\x16') << "a TLS handshake record";
  EXPECT_EQ(received.find("POST"), std::string::npos);
}

TEST_F(Loopback, CancelBeforeTheConnectStopsIt) {
  serve([&](SOCKET c) { read_request(c); });
  net::http client;
  client.set_address("127.0.0.1", port);
  client.clear_cancel();
  // The cancel lands after the owner's last look at its own flag, before the connect.
  client.close();
  net::error_kind kind = net::error_kind::other;
  const std::string message = message_of([&] { client.connect(); }, &kind);
  EXPECT_EQ(message.rfind("socket connect error 10004: ", 0), 0u) << message;
  EXPECT_EQ(kind, net::error_kind::cancelled);
  client.clear_cancel();
  EXPECT_EQ(message_of([&] { client.connect(); }), "no exception");
}

TEST(Socket, RefusedConnectionNamesTheSystemError) {
  // A port just released by a listener that never accepted: nothing listens there.
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);

  net::http client;
  client.set_address("127.0.0.1", ntohs(a.sin_port));
  net::error_kind kind = net::error_kind::other;
  const std::string message = message_of([&] { client.connect(); }, &kind);
  EXPECT_EQ(kind, net::error_kind::refused);
  SetLastError(10061);
  const std::string expected = win32::last_error_text("socket connect error");
  EXPECT_EQ(message, expected);
  // Wine's text for the code, as measured.
  EXPECT_EQ("socket connect error 10061: Connection refused.\r\n", message);
  // Closing twice, or a client never connected, does no harm.
  client.close();
  client.close();
  net::http never;
  never.close();
  EXPECT_EQ(never.recv(10), "");
}

TEST(Socket, SystemMessagesWithInsertsKeepThemAsWritten) {
  // The text has an insert and no arguments are given: it must come back unexpanded.
  SetLastError(ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ("LoadLibrary 193: Bad EXE format for %1.\r\n", win32::last_error_text("LoadLibrary"));
}

// An address that does not answer holds up the next one only for the attempt delay: both race,
// the first to connect wins. Here the IPv6 one, tried first, never answers.
TEST_F(Loopback, AnAddressThatDoesNotAnswerLetsTheNextConnect) {
  serve([&](SOCKET c) { read_request(c); });
  // An IPv6 listener whose queue is full takes no more connections, nor refuses them.
  SOCKET silent = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in6 six = {};
  six.sin6_family = AF_INET6;
  six.sin6_addr = in6addr_loopback;
  int len = sizeof six;
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&six), len), 0);
  getsockname(silent, reinterpret_cast<sockaddr*>(&six), &len);
  listen(silent, 1);
  std::vector<SOCKET> fillers(16);
  for (SOCKET& f : fillers) {
    f = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    u_long nonblocking = 1;
    ioctlsocket(f, FIONBIO, &nonblocking);
    ::connect(f, reinterpret_cast<sockaddr*>(&six), len);
  }
  Sleep(200);
  const auto never = [] { return false; };
  std::vector<net::inet_address> both = net::addresses_of("::1", ntohs(six.sin6_port), 5000, GetTickCount(), never);
  net::tcp_socket<char> alone;
  EXPECT_EQ(message_of([&] { alone.connect(both, 500, GetTickCount()); }),
            "socket connect timed out (no answer in 500 ms)");
  both.push_back(net::addresses_of("127.0.0.1", port, 5000, GetTickCount(), never)[0]);
  net::tcp_socket<char> s;
  s.connect(both, 5000, GetTickCount());
  EXPECT_EQ(s.remote.family(), AF_INET);
  for (SOCKET f : fillers) closesocket(f);
  closesocket(silent);
}
