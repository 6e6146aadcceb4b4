// The assembled main window in this process: what a state file restores, marking entries,
// which refresh's pages it shows, and what closing writes back.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "site/archive_site.hpp"
#include "app/main_window.hpp"
#include "app/state_codec.hpp"
#include "app/state_store.hpp"
#include "app/widgets.hpp"

namespace {

row entry(const std::string& url, const std::string& name) {
  row r;
  r["url"] = url;
  r["name"] = name;
  r["difficulty"] = std::string("2 - Needs a little brain (or luck)");
  r["solved"] = false;
  return r;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

std::string cell(int item, int sub_item) {
  char buffer[256] = {};
  LVITEMA it = {};
  it.iSubItem = sub_item;
  it.pszText = buffer;
  it.cchTextMax = sizeof buffer;
  SendMessageA(entry_list->hwnd, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
  return buffer;
}

// Name, Difficulty, Solved, Done.
constexpr int done_column = 3;

int item_count() { return static_cast<int>(SendMessageA(entry_list->hwnd, LVM_GETITEMCOUNT, 0, 0)); }

class MainWindow : public testing::Test {
 protected:
  // One main window per process, as in the program: built once over a prepared state file
  // in a directory of its own.
  static void SetUpTestSuite() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    directory = std::string(temp) + "vex_main_window_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(directory.c_str(), nullptr);
    SetCurrentDirectoryA(directory.c_str());

    gui_state_data stored;
    stored.cracked_urls["/v/1"] = true;
    stored.rows = {entry("/v/1", "A & \u30C6"), entry("/v/2", "two"), entry("@evil.example/", "x")};
    stored.selected = 1;
    stored.title = "key gen";
    stored.filters[0] = 3;   // difficulty
    stored.filters[1] = 99;  // platform: no such item
    stored.filters[2] = -1;  // language: none
    stored.filters[3] = 2;   // type
    std::ofstream out("gui_state", std::ios::binary);
    write_gui_state(out, stored);
    out.close();

    build_main_window();
  }

  static std::string directory;
};

std::string MainWindow::directory;

}  // namespace

TEST_F(MainWindow, StateFileIsInTheCurrentDirectory) {
  EXPECT_EQ(state_file_path(), current_directory() + "/gui_state");
  char here[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, here);
  EXPECT_EQ(current_directory(), here);
}

TEST_F(MainWindow, RestoresRowsMarksSelectionTitleAndFilters) {
  ASSERT_EQ(item_count(), 3);
  EXPECT_EQ(cell(0, 0), "A & ?");  // the ANSI form lacks the Japanese
  EXPECT_EQ(cell(0, done_column), "Yes");
  EXPECT_EQ(cell(1, 0), "two");
  EXPECT_EQ(cell(1, done_column), "");
  EXPECT_EQ(entry_list->rows[0].at("name").as<std::string>(), "A & \u30C6");
  EXPECT_EQ(entry_list->selected.get(), 1);
  EXPECT_EQ(title_edit->text.get(), "key gen");
  EXPECT_EQ(difficulty_combo->selected.get(), 3);
  // Indexes the boxes cannot show leave their first item, the site's default, selected.
  EXPECT_EQ(platform_combo->selected.get(), 0);
  EXPECT_EQ(language_combo->selected.get(), 0);
  EXPECT_EQ(type_combo->selected.get(), 2);
  EXPECT_EQ(sort_combo->selected.get(), 0);
  EXPECT_EQ(difficulty_combo->items.size(), 10u);
  EXPECT_EQ(platform_combo->items.size(), 13u);
  EXPECT_EQ(language_combo->items.size(), 10u);
  EXPECT_EQ(type_combo->items.size(), 5u);
  EXPECT_EQ(sort_combo->items.size(), 6u);
  EXPECT_EQ(main_window->text.get(), build_archive().host);
  EXPECT_EQ(refresh_button->text.get(), "Refresh");
  EXPECT_FALSE(progress_bar->visible.get());
}

TEST_F(MainWindow, MarkingShowsAtOnceAndDismissingChangesNothing) {
  entry_list->selected.set(1);
  on_mark(1);
  EXPECT_EQ(cracked_urls.count("/v/2"), 1u);
  EXPECT_EQ(cell(1, done_column), "Yes");
  on_mark(0);
  EXPECT_EQ(cell(1, done_column), "Yes");
  on_mark(2);
  EXPECT_EQ(cracked_urls.count("/v/2"), 0u);
  EXPECT_EQ(cell(1, done_column), "");
  on_mark(2);  // already uncracked
  EXPECT_EQ(cell(1, done_column), "");
  EXPECT_EQ(cracked_urls.size(), 1u);
}

// A mark belongs to the entry: every row on screen showing it is repainted at once, and no
// other row.
TEST_F(MainWindow, MarkingRepaintsEveryRowOfThatEntry) {
  entry_list->rows.push_back(entry("/v/2", "two again"));
  HWND list = entry_list->hwnd;
  entry_list->selected.set(1);
  UpdateWindow(list);
  on_mark(1);
  HRGN pending = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(list, pending, FALSE);
  const auto repainted = [&](int item) {
    RECT r = {};
    r.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
    return RectInRegion(pending, &r) != FALSE;
  };
  EXPECT_TRUE(repainted(1));
  EXPECT_TRUE(repainted(3));
  EXPECT_FALSE(repainted(0));
  EXPECT_FALSE(repainted(2));
  DeleteObject(pending);
  EXPECT_EQ(cell(3, done_column), "Yes");
  on_mark(2);
  entry_list->rows.erase(3);
  EXPECT_EQ(item_count(), 3);
}

// A page reaches the list only while its refresh is the current one and no press cancelled
// it: pages still queued when a refresh was cancelled or replaced are dropped.
TEST_F(MainWindow, OnlyTheCurrentRefreshShowsItsPages) {
  const std::size_t before = entry_list->rows.size();
  const unsigned current = refresh_controller.refresh_id;
  // As after the refresh's first page, which would have replaced the list.
  refresh_controller.list_replaced = true;
  refresh_pages page{{entry("/p/1", "late")}, 1, std::nullopt};
  refresh_controller.show_page(current - 1, page);
  EXPECT_EQ(entry_list->rows.size(), before);
  refresh_controller.cancel_requested = true;
  refresh_controller.show_page(current, page);
  EXPECT_EQ(entry_list->rows.size(), before);
  refresh_controller.cancel_requested = false;
  refresh_controller.show_page(current, page);
  ASSERT_EQ(entry_list->rows.size(), before + 1);
  EXPECT_EQ(cell(static_cast<int>(before), 0), "late");
  entry_list->rows.erase(before);
}

TEST_F(MainWindow, MarkMenuChecksTheSelectedRowsState) {
  auto checked = [](int id) { return (GetMenuState(mark_menu.hmenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
  for (int row : {0, 1}) {  // "/v/1" is marked, "/v/2" not
    entry_list->selected.set(row);
    // The menu loop reads the thread's keys: an Escape queued before it opens dismisses it.
    PostMessageA(entry_list->hwnd, WM_KEYDOWN, VK_ESCAPE, 1);
    show_mark_menu(gui::pos{20, 20});
    EXPECT_EQ(checked(1), row == 0) << "row " << row;
    EXPECT_EQ(checked(2), row == 1) << "row " << row;
  }
}

TEST_F(MainWindow, WithoutASelectedRowMarkingAndOpeningDoNothing) {
  SendMessageA(entry_list->hwnd, LVM_SETSELECTIONMARK, 0, -1);
  ASSERT_EQ(entry_list->selected.get(), -1);
  const auto before = cracked_urls;
  on_mark(1);
  on_mark(2);
  open_selected();
  EXPECT_EQ(cracked_urls, before);
  entry_list->selected.set(1);
}

TEST_F(MainWindow, ClosingWritesTheWholeStateAndNoTemporaryFile) {
  entry_list->selected.set(2);
  title_edit->text.set("a&b c");
  sort_combo->selected.set(4);  // not kept
  gui::wnd_msg close_message(WM_CLOSE, 0, 0);
  save_gui_state(close_message);
  EXPECT_EQ(GetFileAttributesA("gui_state.tmp"), INVALID_FILE_ATTRIBUTES);

  const std::string bytes = read_file("gui_state");
  std::istringstream in(bytes);
  const gui_state_read back = read_gui_state(in, bytes.size());
  EXPECT_EQ(back.cracked_urls, cracked_urls);
  ASSERT_EQ(back.rows.size(), 3u);
  EXPECT_EQ(back.rows[2].at("url").as<std::string>(), "@evil.example/");
  EXPECT_EQ(back.selected, 2);
  EXPECT_EQ(back.title, "a&b c");
  EXPECT_EQ(back.filters[0], 3);
  EXPECT_EQ(back.filters[1], 0);
  EXPECT_EQ(back.filters[2], 0);
  EXPECT_EQ(back.filters[3], 2);
  EXPECT_TRUE(in.peek() == EOF);
}

TEST_F(MainWindow, AFailedSaveLeavesThePreviousFile) {
  gui::wnd_msg close_message(WM_CLOSE, 0, 0);
  save_gui_state(close_message);
  const std::string before = read_file("gui_state");
  ASSERT_FALSE(before.empty());
  // The temporary name is taken by a directory, so the new file cannot be written.
  ASSERT_TRUE(CreateDirectoryA("gui_state.tmp", nullptr));
  title_edit->text.set("changed");
  save_gui_state(close_message);
  RemoveDirectoryA("gui_state.tmp");
  EXPECT_EQ(read_file("gui_state"), before);
}

TEST_F(MainWindow, OpenFilterListsShowWholeNames) {
  for (gui::combo_ex* box : {difficulty_combo.get(), platform_combo.get(), language_combo.get(),
                             type_combo.get(), sort_combo.get()}) {
    HDC dc = GetDC(box->hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(box->hwnd, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const row& item : box->items) {
      const std::string name = item.at("name").as<std::string>();
      SIZE extent = {};
      GetTextExtentPoint32A(dc, name.c_str(), static_cast<int>(name.size()), &extent);
      widest = std::max(widest, static_cast<int>(extent.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(box->hwnd, dc);
    const int dropped = static_cast<int>(SendMessageA(box->hwnd, CB_GETDROPPEDWIDTH, 0, 0));
    EXPECT_GE(dropped, widest + 8) << box->items[0].at("name").as<std::string>();
  }
}
