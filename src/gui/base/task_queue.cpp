#include "gui/base/task_queue.hpp"

#include <windows.h>

#include <exception>
#include <string>
#include <utility>

namespace gui {

task_queue::task_queue(consumer to_) : to(std::move(to_)) {}

void task_queue::push(task t) {
  std::lock_guard<std::mutex> hold(lock);
  if (closed) return;  // dropped: the consumer takes no more
  queued.push_back(std::move(t));
  // A refused wake-up is tried again by the next task.
  if (!wake_pending) wake_pending = to.wake();
}

bool task_queue::run() {
  // The whole batch at once, then back to the caller.
  std::deque<task> batch;
  {
    std::lock_guard<std::mutex> hold(lock);
    batch.swap(queued);
    // Nothing came since the last look: the next task wakes the consumer again.
    if (batch.empty()) wake_pending = false;
  }
  if (batch.empty()) {
    if (looking) to.look_by_itself(false);
    looking = false;
    return false;
  }
  // More may follow: look again shortly, the givers' wake-up still standing.
  if (!looking) looking = to.look_by_itself(true);
  if (!looking) {
    std::lock_guard<std::mutex> hold(lock);
    wake_pending = to.wake();
  }
  for (task& t : batch) {
    // One failing task must not lose the ones after it.
    try {
      t();
    } catch (const std::exception& e) {
      OutputDebugStringA((std::string("posted task failed: ") + e.what()).c_str());
    } catch (...) {
      OutputDebugStringA("posted task failed with an unknown exception");
    }
  }
  return true;
}

void task_queue::close() {
  // Declared before the lock is taken, so destroyed after it is let go: a task's captures
  // may push again as they go.
  std::deque<task> dropped;
  std::lock_guard<std::mutex> hold(lock);
  closed = true;
  dropped.swap(queued);
}

}  // namespace gui
