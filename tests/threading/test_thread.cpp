#include "threading/thread.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace {

// Waits for the object's last thread and gives its exit code.
DWORD finish(threading::thread& t) {
  EXPECT_NE(t.thread_handle, nullptr);
  EXPECT_EQ(WaitForSingleObject(t.thread_handle, 10000), WAIT_OBJECT_0);
  DWORD code = 12345;
  GetExitCodeThread(t.thread_handle, &code);
  return code;
}

std::string runtime_message(void (*f)()) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace

TEST(Thread, RunsTheBodyOnANewThreadThatKnowsItsObject) {
  threading::thread t;
  EXPECT_FALSE(t.interrupted);
  EXPECT_FALSE(t.body);

  DWORD body_thread = 0;
  threading::thread* seen = nullptr;
  t.assign(threading::task([&] {
    body_thread = GetCurrentThreadId();
    seen = threading::current_thread();
  }));
  t.start();
  EXPECT_EQ(finish(t), 0u);
  EXPECT_NE(body_thread, GetCurrentThreadId());
  EXPECT_EQ(body_thread, t.thread_id);
  EXPECT_EQ(seen, &t);
  // The window thread (this one) was not started by `start`.
  EXPECT_EQ(threading::current_thread(), nullptr);
  EXPECT_EQ(runtime_message(threading::interruption_point), "no thread, wth");
}

TEST(Thread, EmptyBodyEndsAtOnce) {
  threading::thread t;
  t.start();
  EXPECT_EQ(finish(t), 0u);
}

TEST(Thread, StartingTwiceRunsTheBodyTwiceAndKeepsTheSecondThread) {
  std::atomic<int> runs{0};
  threading::thread t;
  t.assign(threading::task([&] { ++runs; }));
  t.start();
  const HANDLE first = t.thread_handle;
  const DWORD first_id = t.thread_id;
  EXPECT_EQ(WaitForSingleObject(first, 10000), WAIT_OBJECT_0);
  t.start();
  EXPECT_NE(t.thread_id, first_id);
  EXPECT_EQ(finish(t), 0u);
  EXPECT_EQ(runs, 2);
  // The ended thread's handle was closed: its value is free again, or reused by the new one.
  DWORD flags = 0;
  EXPECT_TRUE(t.thread_handle == first || !GetHandleInformation(first, &flags));
}

TEST(Thread, InterruptionPointThrowsOnceAndClearsTheFlag) {
  threading::thread t;
  int passed = 0, interrupted = 0;
  bool reached_end = false;
  t.assign(threading::task([&] {
    threading::interruption_point();  // flag false: returns
    ++passed;
    threading::current_thread()->interrupted = true;
    try {
      threading::interruption_point();
    } catch (threading::interrupt_exception&) {
      ++interrupted;
    }
    threading::interruption_point();  // cleared: returns again
    ++passed;
    threading::current_thread()->interrupted = true;
    threading::interruption_point();  // leaves the body; the thread ends quietly
    reached_end = true;
  }));
  t.start();
  EXPECT_EQ(finish(t), 0u);
  EXPECT_EQ(passed, 2);
  EXPECT_EQ(interrupted, 1);
  EXPECT_FALSE(reached_end);
  EXPECT_FALSE(t.interrupted);
}

TEST(Thread, ThrowingBodyEndsOnlyItsThread) {
  threading::thread t;
  t.assign(threading::task([] { throw std::runtime_error("network down"); }));
  t.start();
  EXPECT_EQ(finish(t), 1u);
  t.assign(threading::task([] { throw 42; }));
  t.start();
  EXPECT_EQ(finish(t), 1u);
  // Still here: the process survived both.
  SUCCEED();
}

TEST(Thread, DestroyingTheObjectLeavesTheThreadRunning) {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> done{false};
  HANDLE handle = nullptr;
  {
    auto* t = new threading::thread;
    t->assign(threading::task([&] {
      WaitForSingleObject(release, 10000);
      done = true;
    }));
    t->start();
    handle = t->thread_handle;
    delete t;
  }
  EXPECT_EQ(WaitForSingleObject(handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(done);
  CloseHandle(handle);
  CloseHandle(release);
}

namespace {
DWORD window_proc_thread = 0;
LRESULT CALLBACK record_thread(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_USER + 7) {
    window_proc_thread = GetCurrentThreadId();
    return static_cast<LRESULT>(wp) * 2;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

TEST(Thread, WorkersSendMessageRunsOnTheWindowThread) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = record_thread;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "thread_test_window";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowA("thread_test_window", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                            wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);

  LRESULT answer = 0;
  threading::thread t;
  t.assign(threading::task([&] { answer = SendMessageA(hwnd, WM_USER + 7, 21, 0); }));
  t.start();
  // The window thread pumps messages while it waits; a sent message is delivered here.
  while (MsgWaitForMultipleObjects(1, &t.thread_handle, FALSE, 10000, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  EXPECT_EQ(finish(t), 0u);
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(window_proc_thread, GetCurrentThreadId());
  DestroyWindow(hwnd);
}
