// Work handed over from another thread runs later on the consuming thread, in order, a whole
// stream of it for one wake-up; what is still queued when the queue closes is freed, never
// run. No window: the test is the consumer, and counts the wake-ups it is asked for.

#include "gui/base/task_queue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(TaskQueue, PostedWorkRunsInOrderOnTheConsumingThread) {
  int wakes = 0;
  bool looking = false;
  gui::task_queue tasks({[&] {
                           ++wakes;
                           return true;
                         },
                         [&](bool on) {
                           looking = on;
                           return true;
                         }});

  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::thread worker([&] {
    for (int i = 0; i < 20000; ++i)
      tasks.push([&order, &threads, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
  });
  worker.join();  // it never waited for this thread
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(wakes, 1);
  EXPECT_TRUE(tasks.run());
  ASSERT_EQ(order.size(), 20000u);
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(std::count(threads.begin(), threads.end(), std::this_thread::get_id()), 20000);

  // tasks that follow soon need no wake-up: the consumer looks for them by itself; a failing
  // one does not lose the ones after it
  EXPECT_TRUE(looking);
  bool after = false;
  tasks.push([] { throw std::runtime_error("task failed"); });
  tasks.push([&] { after = true; });
  EXPECT_EQ(wakes, 1);
  EXPECT_TRUE(tasks.run());
  EXPECT_TRUE(after);
  // a look that finds none ends the looking: the next task wakes the consumer again
  EXPECT_FALSE(tasks.run());
  EXPECT_FALSE(looking);

  auto token = std::make_shared<int>(0);
  bool ran = false;
  tasks.push([token, &ran] { ran = true; });
  EXPECT_EQ(wakes, 2);
  EXPECT_EQ(token.use_count(), 2);
  tasks.close();
  EXPECT_EQ(token.use_count(), 1);  // freed with the queue's close
  tasks.push([token, &ran] { ran = true; });
  EXPECT_EQ(token.use_count(), 1);
  tasks.run();
  EXPECT_FALSE(ran);
}
