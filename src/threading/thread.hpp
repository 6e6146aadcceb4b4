#pragma once
// Worker threads that run a function object and know their own thread object through one
// thread-local slot, with a per-thread interruption flag.

#include <windows.h>

#include <atomic>
#include <functional>
#include <type_traits>
#include <utility>

namespace threading {

// Thrown by value by `interruption_point`; ends the thread quietly. Derives from nothing.
struct interrupt_exception {};

struct task {
  task() = default;
  template <typename F,
            typename = std::enable_if_t<!std::is_base_of<task, std::decay_t<F>>::value>>
  task(F f) : body(std::move(f)) {}
  task(task&& other) noexcept : interrupted(other.interrupted.load()), body(std::move(other.body)) {}

  // Set by one thread, read and cleared by the worker.
  std::atomic<bool> interrupted{false};
  std::function<void()> body;
};

// A task and the system's identity of the last thread started from it. Destroying the
// object neither waits for, closes nor interrupts that thread.
class thread : public task {
 public:
  thread() = default;

  void assign(task t) {
    interrupted = t.interrupted.load();
    body = std::move(t.body);
  }

  // Runs `body` on a new thread at once. Every start creates a new thread; an earlier one
  // is not waited for, and its handle, no longer needed, is closed.
  void start();

  HANDLE thread_handle = nullptr;
  DWORD thread_id = 0;
};

// The procedure of every started thread. Returns 0 when the body returned or was
// interrupted, 1 when an exception of another type ended it (reported with
// OutputDebugStringA; it never reaches the system's frames).
DWORD WINAPI thread_start(LPVOID self);

// The calling thread's object, or null on a thread that `start` did not create.
thread* current_thread();

// Throws `interrupt_exception` once when the calling thread's flag is set, clearing it
// first; throws std::runtime_error "no thread, wth" on a thread `start` did not create.
void interruption_point();

}  // namespace threading
