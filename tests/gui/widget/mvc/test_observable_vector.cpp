#include "gui/widget/mvc/observable_vector.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gui/widget/mvc/row.hpp"

namespace {

gui::row named(const std::string& name) {
  gui::row r;
  r["name"] = name;
  return r;
}

}  // namespace

TEST(ObservableVector, PushBackEraseAndClearRaiseTheirSignals) {
  gui::observable_vector<gui::row> rows;
  std::vector<std::pair<int, std::string>> seen;
  int cleared = 0;
  rows.inserted.add([&](int i, gui::row r) { seen.emplace_back(i, r.at("name").as<std::string>()); });
  rows.cleared.add([&] {
    // The elements are gone by the time the handlers hear of it.
    EXPECT_EQ(0u, rows.size());
    ++cleared;
  });

  // inserted carries the index the element was stored at, after it is stored
  rows.inserted.add([&](int i, gui::row) {
    ASSERT_EQ(static_cast<std::size_t>(i) + 1, rows.size());
  });
  rows.push_back(named("a"));
  rows.push_back(named("b"));
  ASSERT_EQ(2u, seen.size());
  EXPECT_EQ(std::make_pair(0, std::string("a")), seen[0]);
  EXPECT_EQ(std::make_pair(1, std::string("b")), seen[1]);
  EXPECT_EQ("b", rows[1].at("name").as<std::string>());

  // removed carries the index, after the element is gone
  std::vector<int> removed;
  rows.removed.add([&](int i) {
    removed.push_back(i);
    EXPECT_EQ(2u, rows.size());
  });
  rows.push_back(named("c"));
  rows.erase(1);
  EXPECT_EQ(std::vector<int>{1}, removed);
  EXPECT_EQ("c", rows[1].at("name").as<std::string>());

  rows.clear();
  EXPECT_EQ(1, cleared);
  EXPECT_TRUE(rows.empty());

  // clearing an empty collection still tells the subscribers
  rows.clear();
  EXPECT_EQ(2, cleared);

  // after a clear, indices start again from 0
  rows.push_back(named("d"));
  EXPECT_EQ(std::make_pair(0, std::string("d")), seen.back());
}

TEST(ObservableVector, HandlersGetTheirOwnCopy) {
  gui::observable_vector<gui::row> rows;
  rows.inserted.add([](int, gui::row r) { r["name"] = std::string("changed"); });
  rows.push_back(named("kept"));
  EXPECT_EQ("kept", rows[0].at("name").as<std::string>());
}

TEST(ObservableVector, ThePlainVectorIsSilent) {
  gui::observable_vector<gui::row> rows;
  int signals = 0;
  rows.inserted.add([&](int, gui::row) { ++signals; });
  rows.elements.push_back(named("loaded"));
  rows.elements.push_back(named("quietly"));
  EXPECT_EQ(0, signals);
  EXPECT_EQ(2u, rows.size());
  std::string names;
  for (const gui::row& r : rows) names += r.at("name").as<std::string>();
  EXPECT_EQ("loadedquietly", names);
}
