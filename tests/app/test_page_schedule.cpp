#include "app/page_schedule.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// A page's rows: one row naming the page.
std::vector<row> page_rows(int page) {
  row r;
  r["name"] = std::string("page ") + std::to_string(page);
  return {r};
}

std::vector<std::string> names(const std::vector<row>& rows) {
  std::vector<std::string> out;
  for (const row& r : rows) out.push_back(r.at("name").as<std::string>());
  return out;
}

std::vector<std::string> names_of_pages(int from, int to) {
  std::vector<std::string> out;
  for (int page = from; page < to; ++page) out.push_back("page " + std::to_string(page));
  return out;
}

}  // namespace

// Replies come back in a random order; the rows leave in the site's order, and the pages
// asked for or waiting never reach past the first missing one by more than the room.
TEST(PageSchedule, RowsLeaveInTheSiteOrderWhateverOrderRepliesCome) {
  const int pages = 60, connections = 3;
  const int room = pages_ahead_per_connection * connections;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    page_schedule schedule(pages, connections);
    std::vector<int> asked;
    std::vector<row> shown;
    int never_asked = 1;
    while (!schedule.over()) {
      while (const auto request = schedule.next()) {
        EXPECT_FALSE(request->again);
        asked.push_back(request->page);
        never_asked = request->page + 1;
      }
      // Nothing more for now: for want of room while pages are left to ask for.
      EXPECT_EQ(never_asked < pages, schedule.waits_for_room());
      ASSERT_FALSE(asked.empty()) << "nothing to ask for and nothing on its way";
      const std::size_t pick = random() % asked.size();
      const int page = asked[pick];
      asked.erase(asked.begin() + static_cast<long>(pick));
      const int first_missing = 1 + static_cast<int>(shown.size());
      EXPECT_LT(page, first_missing + room);
      for (row& r : schedule.arrived(page, page_rows(page))) shown.push_back(std::move(r));
    }
    EXPECT_EQ(names_of_pages(1, pages), names(shown));
    EXPECT_EQ(pages, schedule.received());
    EXPECT_EQ(0u, schedule.asking());
  }
}

TEST(PageSchedule, AFailedPageIsAskedOnceMoreAndASecondFailureEndsBeforeIt) {
  page_schedule schedule(6, 2);
  for (int page = 1; page <= 5; ++page) ASSERT_EQ(page, schedule.next()->page);
  EXPECT_EQ(page_schedule::after_failure::go_on, schedule.failed(3, false));
  const auto again = schedule.next();
  ASSERT_TRUE(again);
  EXPECT_EQ(3, again->page);
  EXPECT_TRUE(again->again);
  EXPECT_TRUE(schedule.arrived(4, page_rows(4)).empty());
  EXPECT_EQ(names_of_pages(1, 2), names(schedule.arrived(1, page_rows(1))));
  EXPECT_EQ(names_of_pages(2, 3), names(schedule.arrived(2, page_rows(2))));
  EXPECT_EQ(page_schedule::after_failure::end, schedule.failed(3, false));
  // Page 4 waited and page 5 is still on its way: neither is shown, nothing more is asked.
  EXPECT_TRUE(schedule.over());
  EXPECT_FALSE(schedule.next());
  EXPECT_EQ(1u, schedule.asking());
  EXPECT_TRUE(schedule.arrived(5, page_rows(5)).empty());
}

// A site that takes fewer connections than asked: a new one that fails leaves, its page
// goes to the others, and the last one stays to ask for it again.
TEST(PageSchedule, NewConnectionsThatFailLeaveButNeverTheLast) {
  page_schedule schedule(4, 3);
  for (int page = 1; page <= 3; ++page) ASSERT_EQ(page, schedule.next()->page);
  EXPECT_EQ(page_schedule::after_failure::leave, schedule.failed(2, true));
  EXPECT_EQ(page_schedule::after_failure::leave, schedule.failed(3, true));
  const auto two = schedule.next();
  ASSERT_TRUE(two && two->again);
  EXPECT_EQ(2, two->page);
  EXPECT_EQ(page_schedule::after_failure::go_on, schedule.failed(1, true));
  EXPECT_EQ(1, schedule.next()->page);
  EXPECT_EQ(3, schedule.next()->page);
  EXPECT_FALSE(schedule.next());
  for (int page : {3, 1, 2}) schedule.arrived(page, page_rows(page));
  EXPECT_TRUE(schedule.over());
}
