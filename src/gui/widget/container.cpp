#include "gui/widget/container.hpp"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>

#include "gui/base/dpi.hpp"
#include "gui/base/font.hpp"
#include "gui/base/message_loop.hpp"

namespace gui {

namespace {

// WM_NOTIFYFORMAT(control, NF_QUERY) -> NFR_UNICODE for a child that asks for the wide forms.
// Only that child's answer changes: a blanket one would switch every control. A control asks
// while it is being created, before its handle is known here; it asks again when told to
// (NF_REQUERY) once it exists.
void answer_notify_format(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children) {
  if (m.lparam != NF_QUERY) return;
  const HWND from = reinterpret_cast<HWND>(m.wparam);
  for (const auto& child : children) {
    if (child->hwnd != from || !child->unicode_notifications()) continue;
    m.result = NFR_UNICODE;
    m.handled = true;
  }
}

}  // namespace

void reflect(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children) {
  HWND from;
  int code;
  if (m.msg == WM_NOTIFYFORMAT) {
    answer_notify_format(m, children);
    return;
  }
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
// Private to `window::post`.
constexpr UINT posted_message = WM_APP + 0x3c2;
// While tasks keep coming, the window thread looks for more this often instead of being woken
// for each: posting a message costs the poster more than the task often does.
constexpr UINT_PTR posted_timer = 0x3c2;
constexpr UINT posted_poll_ms = 10;
}  // namespace

window::~window() {
  if (accelerator_filter >= 0) remove_message_filter(accelerator_filter);
  if (accelerator_table) DestroyAcceleratorTable(accelerator_table);
  if (font) DeleteObject(font);
}

void window::create() {
  panel::create();
  apply_default_button();
}

void window::children_created() { use_dpi(dpi_of(hwnd)); }

void window::use_dpi(int new_dpi) {
  const HFONT old = font;
  font = make_message_font(new_dpi);
  for (const auto& child : children)
    SendMessageA(child->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (old) DeleteObject(old);
  dpi = new_dpi;
  on_dpi.fire(dpi);
}

void window::on_dpi_changed(const wnd_msg& m) {
  // The vertical DPI, as the font's height follows it; Windows gives both the same.
  const int new_dpi = static_cast<int>(m.wparam_high());
  if (new_dpi <= 0) return;
  if (dpi > 0 && new_dpi != dpi)
    for (const auto& child : children) child->rescale(dpi, new_dpi);
  use_dpi(new_dpi);
  relayout();  // the suggested rectangle may be the same size: no WM_SIZE then
  const RECT* suggested = reinterpret_cast<const RECT*>(m.lparam);
  if (suggested)
    SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
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
    // DM_GETDEFID -> the default button's id, which the dialog keys press on Enter
    case DM_GETDEFID:
      if (default_button) {
        m.result = MAKELRESULT(IDOK, DC_HASDEFID);
        m.handled = true;
      }
      break;
    // DM_SETDEFID -> the default button shows its frame again; it stays the default
    case DM_SETDEFID:
      if (default_button) {
        apply_default_button();
        m.result = TRUE;
        m.handled = true;
      }
      break;
    // WM_ACTIVATE: remember the focused control on the way out, give it back on the way in
    case WM_ACTIVATE:
      if (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
        HWND focus = GetFocus();
        if (m.wparam_low() == WA_INACTIVE && focus && IsChild(hwnd, focus)) last_focus = focus;
        panel::dispatch(m);  // on_activate first
        if (m.wparam_low() != WA_INACTIVE && m.wparam_high() == 0) {  // not minimized
          restore_focus();
          m.handled = true;  // the default procedure would focus the window itself
        }
        return;
      }
      break;
    // WM_DPICHANGED -> sizes and font of DPI HIWORD(wParam), then the rectangle *lParam
    case WM_DPICHANGED:
      on_dpi_changed(m);
      m.handled = true;
      return;
    case WM_DESTROY:
      PostQuitMessage(0);
      drop_posted();
      break;
    default:
      break;
  }
  if (m.msg == posted_message || (m.msg == WM_TIMER && m.wparam == posted_timer)) {
    run_posted();
    m.handled = true;
    return;
  }
  panel::dispatch(m);
}

void window::restore_focus() {
  HWND target = last_focus;
  if (!target || !IsChild(hwnd, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
    target = GetNextDlgTabItem(hwnd, nullptr, FALSE);
  SetFocus(target ? target : hwnd);
}

void window::add_accelerator(BYTE modifiers, WORD vk, WORD id) {
  accelerators.push_back(ACCEL{static_cast<BYTE>(modifiers | FVIRTKEY), vk, id});
  if (accelerator_table) DestroyAcceleratorTable(accelerator_table);
  accelerator_table = CreateAcceleratorTableA(accelerators.data(), static_cast<int>(accelerators.size()));
  if (accelerator_filter >= 0) return;
  // TranslateAcceleratorA turns the key into WM_COMMAND (lParam 0) sent to this window.
  accelerator_filter = add_message_filter([this](MSG& msg) {
    return hwnd && accelerator_table && msg.hwnd && (msg.hwnd == hwnd || IsChild(hwnd, msg.hwnd)) &&
           TranslateAcceleratorA(hwnd, accelerator_table, &msg) != 0;
  });
}

void window::set_default_button(const std::shared_ptr<wnd32>& button) {
  default_button = button;
  apply_default_button();
}

void window::apply_default_button() {
  if (!default_button || !default_button->hwnd) return;
  // Every child has the id 0 (no menu argument at creation); the dialog keys find the
  // default button by the id that DM_GETDEFID gives.
  SetWindowLongPtrA(default_button->hwnd, GWLP_ID, IDOK);
  SendMessageA(default_button->hwnd, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
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
