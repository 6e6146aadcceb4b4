#include "gui/widget/container.hpp"

#include <windows.h>
#include <commctrl.h>

#include "gui/base/message_loop.hpp"

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

window::~window() {
  if (accelerator_filter >= 0) remove_message_filter(accelerator_filter);
  if (accelerator_table) DestroyAcceleratorTable(accelerator_table);
}

void window::create() {
  panel::create();
  apply_default_button();
}

void window::dispatch(wnd_msg& m) {
  switch (m.msg) {
    case call_message:
      (*reinterpret_cast<const std::function<void()>*>(m.wparam))();
      m.handled = true;
      return;
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
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    default:
      break;
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
