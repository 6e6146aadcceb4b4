#pragma once
// A visible top-level window to hold the controls under test, and a message pump.

#include <windows.h>

#include <memory>
#include <string>

#include "gui/widget/window.hpp"

namespace vex_test {

inline void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A window without a layout: children stay where their records put them.
inline std::shared_ptr<gui::window> make_host(const std::string& title) {
  std::shared_ptr<gui::window> win = gui::make_window();
  auto* rec = new gui::initor::window;
  rec->text(title).size(400, 300);
  win->set_init(rec);
  return win;
}

}  // namespace vex_test
