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
  wnd_base<event::base>::create();
  read_only.set(rec.read_only.value);
  if (rec.password_char.value != 0) password_char.set(rec.password_char.value);
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
