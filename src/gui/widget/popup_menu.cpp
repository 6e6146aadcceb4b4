#include "gui/widget/popup_menu.hpp"

#include <cstdlib>

#include "gui/widget/window.hpp"

namespace gui {

popup_menu::popup_menu() : hmenu(CreatePopupMenu()) {}

void popup_menu::add_item(const std::string& text, int id) {
  AppendMenuA(hmenu, MF_STRING, static_cast<UINT_PTR>(id), text.c_str());
}

void popup_menu::check(int id, bool checked) {
  CheckMenuItem(hmenu, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void popup_menu::show(int x, int y) {
  const std::shared_ptr<window>& owner = menu_owner();
  const int cmd = static_cast<int>(TrackPopupMenu(hmenu, TPM_RETURNCMD, x, y, 0, owner->hwnd, nullptr));
  if (on_command) on_command(cmd);
}

void popup_menu::show_at_cursor() {
  POINT p = {};
  GetCursorPos(&p);
  show(p.x, p.y);
}

namespace {

// The slot itself is never destroyed, so the exit handler that empties it cannot meet it
// half gone, whatever order the exit handlers run in.
std::shared_ptr<window>& owner_slot() {
  static std::shared_ptr<window>* slot = new std::shared_ptr<window>;
  return *slot;
}

void release_menu_owner() { owner_slot().reset(); }

}  // namespace

std::shared_ptr<window>& popup_menu::menu_owner() {
  std::shared_ptr<window>& owner = owner_slot();
  if (!owner) {
    std::shared_ptr<window> w = make_window();
    auto* rec = new initor::window;
    rec->visible(false).size(0, 0);
    w->set_init(rec);
    w->create();
    owner = w;
    std::atexit(release_menu_owner);
  }
  return owner;
}

}  // namespace gui
