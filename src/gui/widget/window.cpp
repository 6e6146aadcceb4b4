#include "gui/widget/window.hpp"

#include <utility>

#include "gui/base/message_loop.hpp"

namespace gui {

namespace {
// Private to `window::post`.
constexpr UINT posted_message = WM_APP + 0x3c2;
// While tasks keep coming, the window thread looks for more this often instead of being woken
// for each.
constexpr UINT_PTR posted_timer = 0x3c2;
constexpr UINT posted_poll_ms = 10;
}  // namespace

window::window()
    : tasks({[this] { return PostMessageA(hwnd, posted_message, 0, 0) != FALSE; },
             [this](bool on) {
               if (on) return SetTimer(hwnd, posted_timer, posted_poll_ms, nullptr) != 0;
               KillTimer(hwnd, posted_timer);
               return true;
             }}) {}

window::~window() {
  if (accelerator_filter >= 0) remove_message_filter(accelerator_filter);
  if (accelerator_table) DestroyAcceleratorTable(accelerator_table);
  if (font) DeleteObject(font);
}

void window::create() {
  panel::create();
  apply_default_button();
}

void window::dispatch(wnd_msg& m) {
  switch (m.msg) {
    // WM_COMMAND without a control -> on_command(LOWORD(wParam)); a control's is reflected
    case WM_COMMAND:
      if (m.lparam == 0) {
        on_command.fire(static_cast<int>(m.wparam_low()));
        m.handled = true;
        return;
      }
      break;
    // WM_SYSCOMMAND -> on_system_command(wParam & 0xFFF0), then the default procedure
    case WM_SYSCOMMAND:
      on_system_command.fire(static_cast<int>(m.wparam & 0xFFF0));
      break;
    // DM_GETDEFID, DM_SETDEFID -> the default button; WM_ACTIVATE -> the focus kept across
    // deactivation (window_keyboard.cpp)
    case DM_GETDEFID:
    case DM_SETDEFID:
    case WM_ACTIVATE:
      if (dialog_message(m)) return;
      break;
    // WM_DPICHANGED -> sizes and font of DPI HIWORD(wParam), then the rectangle *lParam
    case WM_DPICHANGED:
      on_dpi_changed(m);
      m.handled = true;
      return;
    // posted_message, and posted_timer's WM_TIMER while tasks keep coming -> the tasks
    case posted_message:
      tasks.run();
      m.handled = true;
      return;
    case WM_TIMER:
      if (m.wparam == posted_timer) {
        tasks.run();
        m.handled = true;
        return;
      }
      // WM_TIMER of start_timer's -> on_timer(wParam)
      if (m.wparam >= 1 && m.wparam < posted_timer) {
        on_timer.fire(static_cast<int>(m.wparam));
        m.handled = true;
        return;
      }
      break;
    // WM_ENDSESSION(TRUE) -> on_end_session(m): the session ends
    case WM_ENDSESSION:
      if (m.wparam) on_end_session.fire(m);
      break;
    // WM_DESTROY -> the end of the message loop; tasks still queued are dropped
    case WM_DESTROY:
      PostQuitMessage(0);
      tasks.close();
      break;
    default:
      break;
  }
  panel::dispatch(m);
}

void window::post(std::function<void()> f) {
  if (!hwnd) {
    f();
    return;
  }
  tasks.push(std::move(f));
}

bool window::start_timer(int id, unsigned ms) {
  if (!hwnd || id < 1 || static_cast<UINT_PTR>(id) >= posted_timer) return false;
  return SetTimer(hwnd, static_cast<UINT_PTR>(id), ms, nullptr) != 0;
}

void window::stop_timer(int id) {
  if (hwnd) KillTimer(hwnd, static_cast<UINT_PTR>(id));
}

std::shared_ptr<window> make_window() {
  std::shared_ptr<window> w(new window);
  w->set_init(new initor::window);
  return w;
}

}  // namespace gui
