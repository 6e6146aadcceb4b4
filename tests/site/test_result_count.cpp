#include "site/result_count.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <thread>

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
