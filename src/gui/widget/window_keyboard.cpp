// The top-level window's keys: accelerators, the default button that Enter presses, and the
// focus kept across deactivation, as a dialog keeps it.

#include "gui/widget/window.hpp"

#include "gui/base/message_loop.hpp"

namespace gui {

bool window::dialog_message(wnd_msg& m) {
  switch (m.msg) {
    // DM_GETDEFID -> the default button's id, which the dialog keys press on Enter
    case DM_GETDEFID:
      if (!default_button) return false;
      m.result = MAKELRESULT(IDOK, DC_HASDEFID);
      m.handled = true;
      return true;
    // DM_SETDEFID -> the default button shows its frame again; it stays the default
    case DM_SETDEFID:
      if (!default_button) return false;
      apply_default_button();
      m.result = TRUE;
      m.handled = true;
      return true;
    // WM_ACTIVATE: remember the focused control on the way out, give it back on the way in
    case WM_ACTIVATE: {
      if (!(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) return false;
      HWND focus = GetFocus();
      if (m.wparam_low() == WA_INACTIVE && focus && IsChild(hwnd, focus)) last_focus = focus;
      panel::dispatch(m);  // on_activate first
      if (m.wparam_low() != WA_INACTIVE && m.wparam_high() == 0) {  // not minimized
        restore_focus();
        m.handled = true;  // the default procedure would focus the window itself
      }
      return true;
    }
    default:
      return false;
  }
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
  // TranslateAcceleratorW turns the key into WM_COMMAND (lParam 0) sent to this window.
  accelerator_filter = add_message_filter([this](MSG& msg) {
    return hwnd && accelerator_table && msg.hwnd && (msg.hwnd == hwnd || IsChild(hwnd, msg.hwnd)) &&
           TranslateAcceleratorW(hwnd, accelerator_table, &msg) != 0;
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

}  // namespace gui
