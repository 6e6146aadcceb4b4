#include "gui/widget/container.hpp"

#include <windows.h>
#include <commctrl.h>

namespace gui {

void reflect(wnd_msg& m) {
  if (m.msg == WM_NOTIFY) {
    // The NMHDR lives only during this call; the receiver uses the message number alone.
    const NMHDR* header = reinterpret_cast<const NMHDR*>(m.lparam);
    PostMessageA(header->hwndFrom, WM_USER + header->code, m.wparam, m.lparam);
    m.handled = true;
  } else if (m.msg == WM_COMMAND) {
    // lParam is the control; a menu command has none and goes to the thread, where the
    // loop drops it.
    PostMessageA(reinterpret_cast<HWND>(m.lparam), WM_USER + m.wparam_high(), m.wparam,
                 m.lparam);
    m.handled = true;
  }
}

namespace {
// Private to `window::call`; wParam carries the function.
constexpr UINT call_message = WM_APP + 0x3c1;
}  // namespace

void window::dispatch(wnd_msg& m) {
  if (m.msg == call_message) {
    (*reinterpret_cast<const std::function<void()>*>(m.wparam))();
    m.handled = true;
    return;
  }
  if (m.msg == WM_DESTROY) PostQuitMessage(0);
  panel::dispatch(m);
}

void window::call(const std::function<void()>& f) {
  if (!hwnd) {
    f();
    return;
  }
  SendMessageA(hwnd, call_message, reinterpret_cast<WPARAM>(&f), 0);
}

std::shared_ptr<window> make_window() {
  std::shared_ptr<window> w(new window);
  w->set_init(new initor::window);
  return w;
}

}  // namespace gui
