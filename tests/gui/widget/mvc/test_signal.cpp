#include "gui/widget/mvc/signal.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(Signal, HandlersRunInTheOrderAdded) {
  gui::signal<void(int)> s;
  std::string order;
  const int first = s.add([&](int v) { order += "a" + std::to_string(v); });
  const int second = s.add([&](int v) { order += "b" + std::to_string(v); });
  EXPECT_EQ(first + 1, second);

  // a handler added while the signal fires gets the largest id and runs in the same walk
  bool added = false;
  s.add([&](int) {
    if (added) return;
    added = true;
    s.add([&](int v) { order += "late" + std::to_string(v); });
  });
  s.fire(1);
  EXPECT_EQ("a1b1late1", order);
  order.clear();
  s.fire(2);
  EXPECT_EQ("a2b2late2", order);

  // firing with no handlers does nothing
  gui::signal<void()> empty;
  empty.fire();
  EXPECT_TRUE(empty.handlers.empty());
}
