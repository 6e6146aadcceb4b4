#include "app/result_count.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <thread>

#include "app/status_text.hpp"
#include "page_generator.hpp"

TEST(ResultCount, ReadsTheLastTotalOnTheMarkerLine) {
  EXPECT_EQ(find_result_count("x\r\n[SEARCH RESULTS 1 - 20 of 45]\r\n"), 45);
  EXPECT_EQ(find_result_count("SEARCH RESULTS a of 1] b of 2] c\r\nof 3]"), 2);
  EXPECT_EQ(find_result_count("[SEARCH RESULTS 1 - 0 of 0]"), 0);
  EXPECT_EQ(find_result_count("SEARCH RESULTS x of 99999999999]"), INT_MAX);
}

TEST(ResultCount, ReportsNoMatch) {
  EXPECT_FALSE(find_result_count(""));
  EXPECT_FALSE(find_result_count("SEARCH RESULTS\r\n of 45]"));  // "." stops at line end
  EXPECT_FALSE(find_result_count("SEARCH RESULTS of 45]"));       // ".+" needs a character
  EXPECT_FALSE(find_result_count("SEARCH RESULTS x of ]"));
  // A later marker line still counts when the first has no total.
  EXPECT_EQ(find_result_count("SEARCH RESULTS none\r\nSEARCH RESULTS x of 7]"), 7);
}

TEST(ResultCount, AgreesWithTheRegularExpressionOnGeneratedPages) {
  std::mt19937 rng(9122026);
  int found = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string page = pages::random_page(rng);
    const std::optional<int> want = pages::regex_count(page);
    found += want.has_value();
    ASSERT_EQ(find_result_count(page), want) << testing::PrintToString(page);
  }
  EXPECT_GT(found, 500);
}

TEST(ResultCount, LongLineOnDefaultStack) {
  std::optional<int> count;
  std::thread worker([&] {
    count = find_result_count("SEARCH RESULTS" + std::string(5 * 1024 * 1024, ' ') + " of 12]");
  });
  worker.join();
  EXPECT_EQ(count, 12);
}

// The status line's reasons come from texts made for diagnostics: the system's own words
// after an error code, and the code of a reply's status line.
TEST(StatusLine, ReasonsInPlainWords) {
  EXPECT_EQ(network_failure("socket connect error 10061: Connection refused.\r\n"),
            "Network error: Connection refused.");
  EXPECT_EQ(network_failure("create socket error 10047: An address family: not supported.\r\n"),
            "Network error: An address family: not supported.");
  const std::string unreadable = "The archive's reply could not be read.";
  EXPECT_EQ(network_failure("malformed http_resp(no \\r\\n\\r\\n)"), unreadable);
  EXPECT_EQ(network_failure("http_resp body: 12 bytes over"), unreadable);
  EXPECT_EQ(network_failure("socket connect error 10061: \r\n"), unreadable);
  EXPECT_EQ(network_failure("http_resp timed out (no byte for 30000 ms)"),
            "The archive did not answer in time.");
  EXPECT_EQ(network_failure("socket connect timed out (no answer in 15000 ms)"),
            "The archive did not answer in time.");

  EXPECT_EQ(reply_failure("HTTP/1.1 200 OK"), "");
  EXPECT_EQ(reply_failure("HTTP/1.1 500 Internal Server Error"), "The archive answered 500.");
  EXPECT_EQ(reply_failure("HTTP/1.0 404"), "The archive answered 404.");
  EXPECT_EQ(reply_failure("HTTP/1.1 20"), unreadable);
  EXPECT_EQ(reply_failure(""), unreadable);

  EXPECT_EQ(listed_status(1), "1 entry listed.");
  EXPECT_EQ(failed_status(no_count_failure, 20), "The page had no result count. 20 entries listed.");
  EXPECT_EQ(cancelled_status(0), "Cancelled before any entry was listed.");
}
