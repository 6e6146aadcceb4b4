#pragma once
// A native window class whose procedure records what reaches it, so that a test can see what
// a window object passes on to the procedure it replaced.

#include <windows.h>

#include <vector>

namespace test {

struct seen_msg {
  HWND hwnd;
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
};

constexpr char probe_class[] = "test_probe";
constexpr LRESULT probe_result = 1234;

// Everything the probe procedure received, in order.
std::vector<seen_msg>& probe_log();

// Registers the class once; returns its name. WM_CLOSE still destroys the window.
const char* probe_class_name();

bool probe_saw(HWND hwnd, UINT msg);

// Dispatches whatever is queued for this thread.
void pump();

}  // namespace test
