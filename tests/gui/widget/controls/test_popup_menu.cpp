#include "gui/widget/popup_menu.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "gui/widget/controls/host.hpp"
#include "gui/widget/window.hpp"

namespace {

BOOL CALLBACK count_owners(HWND hwnd, LPARAM counter) {
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (std::string(cls) == "gui_basic_widget" && !IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int hidden_toolkit_windows() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), count_owners, reinterpret_cast<LPARAM>(&n));
  return n;
}

// Keys for the menu loop: TrackPopupMenu reads the thread's keyboard messages while it runs.
void queue_keys(HWND target, std::vector<WPARAM> keys) {
  for (WPARAM k : keys) {
    PostMessageA(target, WM_KEYDOWN, k, 1);
    PostMessageA(target, WM_KEYUP, k, 0xC0000001);
  }
}

}  // namespace

TEST(PopupMenu, ReportsTheChoiceThroughOneHiddenOwner) {
  gui::popup_menu menu;
  ASSERT_NE(nullptr, menu.hmenu);
  menu.add_item("mark as cracked", 1);
  menu.add_item("mark as uncracked", 2);
  EXPECT_EQ(2, GetMenuItemCount(menu.hmenu));

  std::vector<int> chosen;
  menu.on_command = [&](int id) { chosen.push_back(id); };

  const int hidden_before = hidden_toolkit_windows();
  std::shared_ptr<gui::window> owner = gui::popup_menu::menu_owner();
  ASSERT_NE(nullptr, owner);
  ASSERT_NE(nullptr, owner->hwnd);
  EXPECT_EQ(hidden_before + 1, hidden_toolkit_windows());
  EXPECT_FALSE(IsWindowVisible(owner->hwnd));
  // asked for 0 by 0 (Windows raises a top-level window to its minimum tracking size)
  EXPECT_EQ(0, owner->init->size.value.width);
  EXPECT_EQ(0, owner->init->size.value.height);
  EXPECT_EQ(0, GetWindowLongA(owner->hwnd, GWL_STYLE) & (WS_VISIBLE | WS_CHILD));
  EXPECT_EQ(WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX,
            GetWindowLongA(owner->hwnd, GWL_STYLE) & (WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX));

  // dismissed with Escape: 0
  queue_keys(owner->hwnd, {VK_ESCAPE});
  menu.show(100, 100);
  // the second item, chosen with the keyboard
  queue_keys(owner->hwnd, {VK_DOWN, VK_DOWN, VK_RETURN});
  menu.show(120, 80);
  queue_keys(owner->hwnd, {VK_DOWN, VK_RETURN});
  menu.show_at_cursor();
  EXPECT_EQ((std::vector<int>{0, 2, 1}), chosen);

  // however often menus are shown, there is one owner, still hidden
  EXPECT_EQ(owner, gui::popup_menu::menu_owner());
  EXPECT_EQ(hidden_before + 1, hidden_toolkit_windows());
  EXPECT_FALSE(IsWindowVisible(owner->hwnd));
  vex_test::pump();

  // without a handler the choice goes nowhere
  gui::popup_menu silent;
  silent.add_item("nothing", 5);
  queue_keys(owner->hwnd, {VK_ESCAPE});
  silent.show(10, 10);
  EXPECT_EQ(3u, chosen.size());
}
