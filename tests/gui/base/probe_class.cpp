#include "gui/base/probe_class.hpp"

#include <algorithm>

namespace test {
namespace {

LRESULT CALLBACK probe_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  probe_log().push_back(seen_msg{hwnd, msg, wparam, lparam});
  if (msg >= WM_APP) return probe_result;
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace

std::vector<seen_msg>& probe_log() {
  static std::vector<seen_msg> log;
  return log;
}

const char* probe_class_name() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = probe_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = probe_class;
    return RegisterClassA(&wc) != 0;
  }();
  return registered ? probe_class : "";
}

bool probe_saw(HWND hwnd, UINT msg) {
  const auto& log = probe_log();
  return std::any_of(log.begin(), log.end(),
                     [&](const seen_msg& s) { return s.hwnd == hwnd && s.msg == msg; });
}

void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace test
