#pragma once
// A menu shown at a point of the screen that hands the chosen item's id to one function.
// Windows returns the choice directly (no WM_COMMAND); the menu borrows one hidden, zero-sized
// top-level window of the process as its owner.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace gui {

class window;

class popup_menu {
 public:
  popup_menu();

  void add_item(const std::string& text, int id);
  // Shows or clears the check mark of the item `id`.
  void check(int id, bool checked);
  // Blocks in Windows' menu loop until the menu closes, then calls `on_command` with the
  // chosen id, or 0 when the menu was dismissed.
  void show(int x, int y);
  void show_at_cursor();

  // The owner of every popup menu, made and created on first use, never shown.
  static std::shared_ptr<window>& menu_owner();

  std::function<void(int)> on_command;
  HMENU hmenu;
};

}  // namespace gui
