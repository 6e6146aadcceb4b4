#include "gui/widget/mvc/row_view.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

// A model of rows that are keys, and what a view over them should show, worked out plainly:
// a stable sort of all rows, then the matching ones.
struct model {
  std::vector<std::string> keys;
  bool sorted = false, descending = false;
  std::string find;  // rows whose key contains it; empty: all

  gui::row_view::key_function key() {
    return [this](std::size_t r, std::string& k) { k += keys[r]; };
  }
  gui::row_view::match_function match() {
    return [this](std::size_t r) { return keys[r].find(find) != std::string::npos; };
  }
  std::vector<std::size_t> expected() const {
    std::vector<std::size_t> rows(keys.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    if (sorted)
      std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
        return descending ? keys[a] > keys[b] : keys[a] < keys[b];
      });
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](std::size_t r) { return keys[r].find(find) == std::string::npos; }),
               rows.end());
    return rows;
  }
};

std::vector<std::size_t> shown(const gui::row_view& v) {
  std::vector<std::size_t> rows;
  for (std::size_t p = 0; p < v.size(); ++p) rows.push_back(v.row_at(p));
  return rows;
}

}  // namespace

TEST(RowView, SortNarrowAndJoinKeepTheRowsInTheirPlaces) {
  model m;
  m.keys = {"b2", "a1", "b1", "a1", "c3", "b2"};
  // Blocks of four rows: putting rows in splits them again and again.
  gui::row_view v(4);
  v.reset(m.keys.size());
  EXPECT_EQ(m.expected(), shown(v)) << "no sort, no narrowing: position i is row i";

  // equal keys keep the rows' order, ascending and descending alike
  m.sorted = true;
  v.sort(m.key(), false);
  EXPECT_EQ((std::vector<std::size_t>{1, 3, 2, 0, 5, 4}), shown(v));
  m.descending = true;
  v.sort(m.key(), true);
  EXPECT_EQ(m.expected(), shown(v));
  m.find = "b";
  v.narrow(m.match(), false);
  m.find = "b2";
  v.narrow(m.match(), true);
  EXPECT_EQ(m.expected(), shown(v));
  EXPECT_EQ((std::vector<long>{-1, 1, 0}), v.positions_of({3, 5, 0}));

  // rows joining under both take their places; positions from before move past them
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    const std::vector<std::size_t> before = shown(v);
    const std::size_t first = m.keys.size();
    for (int i = std::uniform_int_distribution<int>(0, 5)(random); i > 0; --i)
      m.keys.push_back(std::string(1, "abc"[random() % 3]) + std::to_string(random() % 3));
    const std::vector<std::size_t> joined = v.join(m.keys.size());
    const std::vector<std::size_t> after = shown(v);
    ASSERT_EQ(m.expected(), after);
    for (std::size_t p : joined) EXPECT_GE(after[p], first) << "a joined row stands there";
    for (std::size_t p = 0; p < before.size(); ++p) EXPECT_EQ(before[p], after[gui::moved(p, joined)]);
    if (round % 10 == 9) {
      // a shorter text widens again, in the sorted order
      m.find = m.find == "b2" ? "" : "b2";
      v.narrow(m.match(), false);
      ASSERT_EQ(m.expected(), shown(v));
    }
  }

  // back to the rows' own order, still narrowed, then every row
  m.sorted = false;
  v.unsort();
  EXPECT_EQ(m.expected(), shown(v));
  m.find.clear();
  v.widen();
  EXPECT_EQ(m.expected(), shown(v));
}

TEST(RowView, NumbersByTheirValueHoweverLong) {
  auto number = [](const char* text) {
    std::string key;
    gui::append_number_key(text, key);
    return key;
  };
  EXPECT_LT(number("9 - You can't solve this yourself :)"), number("12"));
  EXPECT_EQ(number("007 - Agent"), number(" 7 - Seven"));
  EXPECT_LT(number("99999999999999999999"), number("100000000000000000000"));
  EXPECT_LT(number("123456789012345678901234567890"), number("Unknown")) << "texts without one last";
}
