#include "app/status_text.hpp"

#include <gtest/gtest.h>

#include <string>

// The status line's reasons come from what a failure is: its kind, and the system's own words
// for its code; and from the code of a reply's status line.
TEST(StatusLine, ReasonsInPlainWords) {
  using net::error_kind;
  using net::net_exception;
  const std::string host = "archive.example";
  EXPECT_EQ(network_failure(
                net_exception(error_kind::refused, "socket connect error", 10061, "Connection refused.\r\n"), host),
            "Network error: Connection refused.");
  EXPECT_EQ(network_failure(net_exception(error_kind::other, "create socket error", 10047,
                                          "An address family: not supported.\r\n"),
                            host),
            "Network error: An address family: not supported.");
  const std::string unreadable = "The archive's reply could not be read.";
  EXPECT_EQ(network_failure(net_exception(error_kind::closed, "malformed http_resp(no \\r\\n\\r\\n)"), host),
            unreadable);
  EXPECT_EQ(network_failure(net_exception(error_kind::refused, "socket connect error", 10061, "\r\n"), host),
            unreadable);
  // Words that look like a code and a reason are not read as one.
  EXPECT_EQ(network_failure(net_exception(error_kind::malformed_reply, "TLS record malformed 42: version"), host),
            unreadable);
  EXPECT_EQ(network_failure(net_exception(error_kind::timed_out, "http_resp timed out (no byte for 30000 ms)"), host),
            "The archive did not answer in time.");
  EXPECT_EQ(network_failure(net_exception(error_kind::timed_out, "socket connect error", 10060,
                                          "Connection timed out.\r\n"),
                            host),
            "The archive did not answer in time.");
  EXPECT_TRUE(timed_out(net_exception(error_kind::timed_out, "socket connect timed out (no answer in 15000 ms)")));
  const net_exception trickled(error_kind::too_slow, "http_resp timed out (not whole after 120000 ms)");
  EXPECT_EQ(network_failure(trickled, host), "The archive's reply came too slowly: not whole after 120 seconds.");
  EXPECT_TRUE(timed_out(trickled));
  // A name without an address: the host is named, not the system's words.
  EXPECT_EQ(network_failure(net_exception(error_kind::name_not_found, "host name lookup error", 11001,
                                          "No such host is known.\r\n"),
                            host),
            "The archive's host name archive.example was not found.");
  EXPECT_EQ(network_failure(net::certificate_refused(net::certificate_problem::expired, 0x800B0101, "Expired.\r\n"),
                            host),
            "The archive's certificate was refused: expired.");

  EXPECT_EQ(reply_failure("HTTP/1.1 200 OK"), "");
  EXPECT_EQ(reply_failure("HTTP/1.1 500 Internal Server Error"), "The archive answered 500.");
  EXPECT_EQ(reply_failure("HTTP/1.0 404"), "The archive answered 404.");
  EXPECT_EQ(reply_failure("HTTP/1.1 20"), unreadable);
  EXPECT_EQ(reply_failure(""), unreadable);

  EXPECT_EQ(listed_status(1), "1 entry listed.");
  EXPECT_EQ(failed_status(no_count_failure, 20), "The page had no result count. 20 entries listed.");
  EXPECT_EQ(cancelled_status(0), "Cancelled before any entry was listed.");
}

// A certificate's failure and a redirect end the refresh with words the user can act on.
TEST(StatusLine, RefusedCertificatesAndMovedArchives) {
  EXPECT_EQ(certificate_failure(net::certificate_problem::untrusted),
            "The archive's certificate was refused: not trusted.");
  EXPECT_EQ(certificate_failure(net::certificate_problem::expired), "The archive's certificate was refused: expired.");
  EXPECT_EQ(certificate_failure(net::certificate_problem::wrong_name),
            "The archive's certificate was refused: made out for another name.");

  const archive_address here = parse_archive_address("http://localhost");
  EXPECT_EQ(moved_failure("HTTP/1.1 200 OK", "https://elsewhere.example/", here), "");
  EXPECT_EQ(moved_failure("HTTP/1.1 304 Not Modified", "https://elsewhere.example/", here), "");
  EXPECT_EQ(moved_failure("HTTP/1.1 301 Moved Permanently", "https://Archive.example/archive/", here),
            "The archive moved to https://Archive.example/archive/; start the program with --archive "
            "https://archive.example.");
  EXPECT_EQ(moved_failure("HTTP/1.1 308 Permanent Redirect", "https://localhost:8443", here),
            "The archive moved to https://localhost:8443; start the program with --archive https://localhost:8443.");
  // On the same archive, or somewhere the program cannot go: the address alone.
  EXPECT_EQ(moved_failure("HTTP/1.1 302 Found", "/elsewhere/", here), "The archive moved to http://localhost/elsewhere/.");
  EXPECT_EQ(moved_failure("HTTP/1.1 307 Temporary Redirect", "ftp://files.example/x", here),
            "The archive moved to ftp://files.example/x.");
  EXPECT_EQ(moved_failure("HTTP/1.1 303 See Other", "", here),
            "The archive answered 303 without saying where it moved.");
}
