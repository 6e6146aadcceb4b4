#pragma once
// Work handed from any thread to one consuming thread (a window's), to run there later in
// the order it was handed over; the thread that hands it over never waits.
//
// The consumer is woken once for a stream of tasks, not once per task: waking it (posting a
// message) costs the giver more than a task often does. After a look that found tasks the
// consumer looks again by itself a little later (a window on a timer), and tasks that come
// meanwhile need no wake-up; only the first task after a look that found none wakes it.
//
//   gui::task_queue tasks({wake, look_by_itself});
//   tasks.push([] { ... });      // any thread
//   tasks.run();                 // the consumer, when woken and while it looks by itself

#include <deque>
#include <functional>
#include <mutex>

namespace gui {

class task_queue {
 public:
  using task = std::function<void()>;

  // How the queue reaches its consumer.
  struct consumer {
    // Asks the consuming thread to `run` the queue; false when the request could not be made
    // (a full message queue): the next push asks again. Called on the pushing thread with the
    // queue locked, so it must not touch the queue.
    std::function<bool()> wake;
    // Consuming thread: from now on `run` the queue every little while by itself (true), or
    // no longer (false). False when it cannot start; the queue then wakes it instead.
    std::function<bool(bool on)> look_by_itself;
  };

  explicit task_queue(consumer to_);
  task_queue(const task_queue&) = delete;
  task_queue& operator=(const task_queue&) = delete;

  // Any thread. Once the queue is closed `t` is dropped: destroyed, never run.
  void push(task t);

  // Consuming thread: runs every task queued now, in order, and then returns, so that a busy
  // giver never starves the consumer's other work (a window's input and painting). A task
  // that throws is reported with OutputDebugStringA and the ones after it still run. Returns
  // whether there was any task.
  bool run();

  // Any thread: drops every task still queued and every one pushed later.
  void close();

 private:
  consumer to;
  std::mutex lock;
  std::deque<task> queued;
  // A wake-up is on its way, or the consumer looks by itself: further tasks need none.
  bool wake_pending = false;
  bool closed = false;
  // The consumer looks by itself. Consuming thread only.
  bool looking = false;
};

}  // namespace gui
