#include "gui/widget/events.hpp"

#include <windows.h>
#include <commctrl.h>

namespace gui {
namespace event {
namespace {

gui::pos lparam_pos(const wnd_msg& m) {
  return gui::pos{static_cast<int>(m.lparam_low()), static_cast<int>(m.lparam_high())};
}

// Command codes below this are reflected as WM_USER + code; negative notification codes go
// above it, so that the two never meet.
constexpr int command_codes = 0x1000;
constexpr int last_private_message = WM_APP - 1;

}  // namespace

std::uint32_t reflected_message(int code) {
  if (code >= 0 && code < command_codes) return WM_USER + static_cast<std::uint32_t>(code);
  if (code < 0 && code >= -(last_private_message - WM_USER - command_codes))
    return WM_USER + command_codes + static_cast<std::uint32_t>(-code);
  return 0;
}

void base::dispatch(wnd_msg& m) {
  switch (m.msg) {
    // WM_MOVE -> on_move(pos{LOWORD(lParam), HIWORD(lParam)})
    case WM_MOVE: on_move.fire(lparam_pos(m)); break;
    // WM_SIZE -> on_size(size{LOWORD(lParam), HIWORD(lParam)})
    case WM_SIZE:
      on_size.fire(gui::size{static_cast<int>(m.lparam_low()), static_cast<int>(m.lparam_high())});
      break;
    // WM_ACTIVATE -> on_activate(LOWORD(wParam) is WA_ACTIVE or WA_CLICKACTIVE)
    case WM_ACTIVATE:
      on_activate.fire(m.wparam_low() == WA_ACTIVE || m.wparam_low() == WA_CLICKACTIVE);
      break;
    // WM_PAINT -> on_paint(m)
    case WM_PAINT: on_paint.fire(m); break;
    // WM_ENABLE -> on_enable(wParam != 0)
    case WM_ENABLE: on_enable.fire(m.wparam != 0); break;
    // WM_CLOSE -> on_close(m); a handler that sets handled keeps the window
    case WM_CLOSE: on_close.fire(m); break;
    // WM_QUIT -> on_quit()
    case WM_QUIT: on_quit.fire(); break;
    // WM_SHOWWINDOW -> on_show(wParam != 0)
    case WM_SHOWWINDOW: on_show.fire(m.wparam != 0); break;
    // WM_MOVING -> on_moving(m)
    case WM_MOVING: on_moving.fire(m); break;
    // WM_SIZING -> on_sizing(m)
    case WM_SIZING: on_sizing.fire(m); break;
    // WM_ERASEBKGND -> on_erase_background(m)
    case WM_ERASEBKGND: on_erase_background.fire(m); break;
    // WM_CHAR -> on_char(LOBYTE(wParam))
    case WM_CHAR: on_char.fire(static_cast<char>(m.wparam & 0xFF)); break;
    // WM_MOUSEMOVE -> on_mouse_move(m)
    case WM_MOUSEMOVE: on_mouse_move.fire(m); break;
    // WM_LBUTTONDOWN -> on_left_down(m)
    case WM_LBUTTONDOWN: on_left_down.fire(m); break;
    // WM_LBUTTONUP -> on_left_up(m)
    case WM_LBUTTONUP: on_left_up.fire(m); break;
    // WM_RBUTTONDOWN -> on_right_down(m)
    case WM_RBUTTONDOWN: on_right_down.fire(m); break;
    // WM_RBUTTONUP -> on_right_up(m)
    case WM_RBUTTONUP: on_right_up.fire(m); break;
    // WM_LBUTTONDBLCLK -> on_double_click()
    case WM_LBUTTONDBLCLK: on_double_click.fire(); break;
    // WM_CONTEXTMENU -> on_context_menu(pos{LOWORD(lParam), HIWORD(lParam)}), screen; keyboard: 65535
    case WM_CONTEXTMENU: on_context_menu.fire(lparam_pos(m)); break;
    // WM_SETFOCUS -> on_set_focus()
    case WM_SETFOCUS: on_set_focus.fire(); break;
    // WM_KILLFOCUS -> on_kill_focus()
    case WM_KILLFOCUS: on_kill_focus.fire(); break;
    default: break;
  }
}

void button::dispatch(wnd_msg& m) {
  base::dispatch(m);
  // WM_USER + BN_CLICKED -> on_click()
  if (m.msg == reflected_message(BN_CLICKED)) on_click.fire();
}

bool button::hears(int code) const { return code == BN_CLICKED; }

void combo::dispatch(wnd_msg& m) {
  base::dispatch(m);
  // WM_USER + CBN_SELCHANGE -> on_select()
  if (m.msg == reflected_message(CBN_SELCHANGE)) on_select.fire();
}

bool combo::hears(int code) const { return code == CBN_SELCHANGE; }

void edit::dispatch(wnd_msg& m) {
  base::dispatch(m);
  // WM_USER + EN_CHANGE -> on_change()
  if (m.msg == reflected_message(EN_CHANGE)) on_change.fire();
}

// Only a box that acts on a change has its changes posted back.
bool edit::hears(int code) const { return code == EN_CHANGE && !on_change.handlers.empty(); }

void list::dispatch(wnd_msg& m) {
  base::dispatch(m);
  // WM_USER + NM_RETURN -> on_return()
  if (m.msg == reflected_message(NM_RETURN)) on_return.fire();
}

bool list::hears(int code) const { return code == static_cast<int>(NM_RETURN); }

}  // namespace event
}  // namespace gui
