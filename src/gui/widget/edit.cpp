#include "gui/widget/edit.hpp"

#include <windows.h>

#include <functional>

namespace gui {

using namespace std::placeholders;

edit::edit() {
  read_only.get = std::bind(&edit::get_read_only, this);
  read_only.set = std::bind(&edit::set_read_only, this, _1);
  password_char.get = std::bind(&edit::get_password_char, this);
  password_char.set = std::bind(&edit::set_password_char, this, _1);
}

void edit::create() {
  initor::edit& rec = static_cast<initor::edit&>(*init);
  if (rec.password.value)
    rec.add_style(ES_PASSWORD);
  else
    rec.remove_style(ES_PASSWORD);
  wnd_base<event::edit>::create();
  read_only.set(rec.read_only.value);
  if (rec.password_char.value != 0) password_char.set(rec.password_char.value);
}

void edit::dispatch(wnd_msg& m) {
  if (!events.on_return.handlers.empty()) {
    const MSG* key = reinterpret_cast<const MSG*>(m.lparam);
    if (m.msg == WM_GETDLGCODE && key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
      m.result = previous_proc(m) | DLGC_WANTMESSAGE;
      m.handled = true;
      return;
    }
    if (m.msg == WM_KEYDOWN && m.wparam == VK_RETURN) {
      events.on_return.fire();
      m.handled = true;
      return;
    }
    // The character the key makes: a box of one line has no use for it, and would beep.
    if (m.msg == WM_CHAR && m.wparam == '\r') {
      m.handled = true;
      return;
    }
  }
  wnd_base<event::edit>::dispatch(m);
}

bool edit::get_read_only() { return (GetWindowLongA(hwnd, GWL_STYLE) & ES_READONLY) != 0; }

void edit::set_read_only(const bool& on) { SendMessageA(hwnd, EM_SETREADONLY, on ? TRUE : FALSE, 0); }

char edit::get_password_char() {
  return static_cast<char>(SendMessageA(hwnd, EM_GETPASSWORDCHAR, 0, 0));
}

void edit::set_password_char(const char& c) {
  SendMessageA(hwnd, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 0);
}

std::shared_ptr<edit> make_edit() {
  std::shared_ptr<edit> w(new edit);
  w->set_init(new initor::edit);
  return w;
}

}  // namespace gui
