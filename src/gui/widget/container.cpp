#include "gui/widget/container.hpp"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>

namespace gui {

void reflect(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children) {
  HWND from;
  int code;
  if (m.msg == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(m.lparam);
    from = header->hwndFrom;
    code = static_cast<int>(header->code);
  } else if (m.msg == WM_COMMAND) {
    // A menu or accelerator command has no control in lParam and matches no child.
    from = reinterpret_cast<HWND>(m.lparam);
    code = static_cast<int>(m.wparam_high());
  } else {
    return;
  }
  m.handled = true;
  const auto child = std::find_if(children.begin(), children.end(),
                                  [from](const std::shared_ptr<wnd32>& c) { return c->hwnd == from; });
  if (child == children.end() || (*child)->answer_notification(m, code)) return;
  // A posted copy outlives the record a WM_NOTIFY lParam points to: its receiver uses the
  // message number alone.
  const std::uint32_t reflected = event::reflected_message(code);
  if (reflected && (*child)->hears_notification(code))
    PostMessageA(from, reflected, m.wparam, m.lparam);
}

namespace {
// Private to `window::call` (wParam carries the function) and `window::post`.
constexpr UINT call_message = WM_APP + 0x3c1;
constexpr UINT posted_message = WM_APP + 0x3c2;
// While tasks keep coming, the window thread looks for more this often instead of being woken
// for each: posting a message costs the poster more than the task often does.
constexpr UINT_PTR posted_timer = 0x3c2;
constexpr UINT posted_poll_ms = 10;
}  // namespace

void window::dispatch(wnd_msg& m) {
  if (m.msg == call_message) {
    (*reinterpret_cast<const std::function<void()>*>(m.wparam))();
    m.handled = true;
    return;
  }
  if (m.msg == posted_message || (m.msg == WM_TIMER && m.wparam == posted_timer)) {
    run_posted();
    m.handled = true;
    return;
  }
  if (m.msg == WM_DESTROY) {
    PostQuitMessage(0);
    drop_posted();
  }
  panel::dispatch(m);
}

void window::call(const std::function<void()>& f) {
  if (!hwnd) {
    f();
    return;
  }
  SendMessageA(hwnd, call_message, reinterpret_cast<WPARAM>(&f), 0);
}

void window::post(std::function<void()> f) {
  if (!hwnd) {
    f();
    return;
  }
  std::lock_guard<std::mutex> hold(posted_lock);
  if (closed) return;  // dropped: the window thread takes no more
  posted.push_back(std::move(f));
  // A full message queue refuses the wake-up; the next task tries again.
  if (!wake_pending) wake_pending = PostMessageA(hwnd, posted_message, 0, 0) != FALSE;
}

void window::run_posted() {
  // The whole batch at once, then back to the loop, so that input and painting are never
  // starved by a busy poster.
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> hold(posted_lock);
    batch.swap(posted);
    // Nothing came since the last look: the next task wakes this thread again.
    if (batch.empty()) wake_pending = false;
  }
  if (batch.empty()) {
    KillTimer(hwnd, posted_timer);
    polling = false;
    return;
  }
  // More may follow: look again shortly, the posters' wake-up still standing.
  if (!polling) polling = SetTimer(hwnd, posted_timer, posted_poll_ms, nullptr) != 0;
  if (!polling) {
    std::lock_guard<std::mutex> hold(posted_lock);
    wake_pending = PostMessageA(hwnd, posted_message, 0, 0) != FALSE;
  }
  for (std::function<void()>& task : batch) {
    // One failing task must not lose the ones after it.
    try {
      task();
    } catch (const std::exception& e) {
      OutputDebugStringA((std::string("posted task failed: ") + e.what()).c_str());
    } catch (...) {
      OutputDebugStringA("posted task failed with an unknown exception");
    }
  }
}

void window::drop_posted() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard<std::mutex> hold(posted_lock);
  closed = true;
  dropped.swap(posted);
}

std::shared_ptr<window> make_window() {
  std::shared_ptr<window> w(new window);
  w->set_init(new initor::window);
  return w;
}

}  // namespace gui
