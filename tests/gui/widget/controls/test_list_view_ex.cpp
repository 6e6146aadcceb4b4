#include "gui/widget/list_view_ex.hpp"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "gui/widget/controls/host.hpp"

namespace {

gui::row entry(const std::string& name, const std::string& url) {
  gui::row r;
  r["name"] = name;
  r["url"] = url;
  return r;
}

int item_count(HWND lv) { return static_cast<int>(SendMessageA(lv, LVM_GETITEMCOUNT, 0, 0)); }

int column_count(HWND lv) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(lv, LVM_GETHEADER, 0, 0));
  return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string cell(HWND lv, int item, int sub_item) {
  char buf[256] = {};
  LVITEMA it = {};
  it.iSubItem = sub_item;
  it.pszText = buf;
  it.cchTextMax = sizeof(buf);
  SendMessageA(lv, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
  return buf;
}

// Every cell of the list, row by row, "a|b" per item.
std::vector<std::string> texts(HWND lv) {
  std::vector<std::string> out;
  for (int i = 0; i < item_count(lv); ++i) {
    std::string line;
    for (int c = 0; c < column_count(lv); ++c) line += (c ? "|" : "") + cell(lv, i, c);
    out.push_back(line);
  }
  return out;
}

// A list whose "Done" column reads a mark kept outside the rows, as the application's does.
struct marked_list {
  std::map<std::string, bool> marks;
  std::vector<std::string> formatted;  // keys of every formatter call
  std::shared_ptr<gui::list_view_ex> list = gui::make_list_view_ex();
  std::shared_ptr<gui::window> win = vex_test::make_host("list view");

  marked_list() {
    list->columns.push_back(gui::lv_column("Name", "name", 120, [this](gui::row r, std::string key) {
      formatted.push_back(key);
      return gui::format_field<std::string>(r, key);
    }));
    list->columns.push_back(gui::lv_column("Done", "done", 60, [this](gui::row r, std::string key) {
      formatted.push_back(key);
      return marks[r.at("url").as<std::string>()] ? std::string("Yes") : std::string();
    }));
    win->add(list);
  }
};

}  // namespace

TEST(ListViewEx, FollowsItsRows) {
  marked_list m;
  const std::vector<std::string> none;

  // rows appended before the window exists all appear once, in order, with all cells
  m.marks["/b"] = true;
  m.list->rows.push_back(entry("alpha", "/a"));
  m.list->rows.push_back(entry("beta", "/b"));
  m.list->rows.push_back(entry("gamma", "/c"));
  m.win->create();
  HWND lv = m.list->hwnd;
  ASSERT_NE(nullptr, lv);
  EXPECT_EQ(2, column_count(lv));
  EXPECT_EQ((std::vector<std::string>{"alpha|", "beta|Yes", "gamma|"}), texts(lv));
  EXPECT_NE(0, SendMessageA(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(0x00800009, GetWindowLongA(lv, GWL_STYLE) & 0x00800009);

  // appending to a created list inserts item n and sets one text per column, column 0 too
  m.formatted.clear();
  m.list->rows.push_back(entry("delta", "/d"));
  EXPECT_EQ((std::vector<std::string>{"name", "done"}), m.formatted);
  EXPECT_EQ(4, item_count(lv));
  EXPECT_EQ("delta", cell(lv, 3, 0));

  // update recomputes only the one cell, whatever the other formatters would now say
  m.marks["/a"] = m.marks["/c"] = m.marks["/d"] = true;
  m.formatted.clear();
  m.list->update(2, "done", any(0), any(0));
  EXPECT_EQ((std::vector<std::string>{"done"}), m.formatted);
  EXPECT_EQ((std::vector<std::string>{"alpha|", "beta|Yes", "gamma|Yes", "delta|"}), texts(lv));

  // a key that no column shows, or a row that is not there, changes nothing
  m.list->update(2, "url", any(0), any(0));
  m.list->update(4, "done", any(0), any(0));
  m.list->update(-1, "done", any(0), any(0));
  EXPECT_EQ((std::vector<std::string>{"alpha|", "beta|Yes", "gamma|Yes", "delta|"}), texts(lv));

  // the changed and removed signals reach the control as well
  m.list->rows.changed.fire(0, std::string("done"), any(0), any(0));
  EXPECT_EQ("Yes", cell(lv, 0, 1));
  m.list->rows.removed.fire(1);
  EXPECT_EQ((std::vector<std::string>{"alpha|Yes", "gamma|Yes", "delta|"}), texts(lv));

  // refill rebuilds from the model, rows loaded silently included
  m.list->rows.elements.push_back(entry("epsilon", "/e"));
  m.list->refill();
  EXPECT_EQ((std::vector<std::string>{"alpha|Yes", "beta|Yes", "gamma|Yes", "delta|Yes", "epsilon|"}),
            texts(lv));

  // clear empties the control at once
  m.list->rows.clear();
  EXPECT_EQ(none, texts(lv));

  // a column added after creation does not appear
  m.list->columns.push_back(gui::lv_column("Url", "url", 80, &gui::format_field<std::string>));
  m.list->rows.push_back(entry("zeta", "/z"));
  EXPECT_EQ(2, column_count(lv));
  EXPECT_EQ("zeta", cell(lv, 0, 0));
}

TEST(ListViewEx, SelectScrollsAndSelected) {
  std::shared_ptr<gui::list_view_ex> list = gui::make_list_view_ex();
  list->columns.push_back(gui::lv_column("Name", "name", 120, &gui::format_field<std::string>));
  std::shared_ptr<gui::window> win = vex_test::make_host("select");
  win->add(list);
  list->init->size(200, 100);
  for (int i = 0; i < 60; ++i) list->rows.push_back(entry("row " + std::to_string(i), "/" + std::to_string(i)));
  win->create();
  vex_test::pump();
  HWND lv = list->hwnd;

  EXPECT_EQ(-1, list->selected.get());
  EXPECT_EQ(0, SendMessageA(lv, LVM_GETTOPINDEX, 0, 0));

  // the item is scrolled into view, selected, and its mark is what `selected` reads back
  list->select(45);
  vex_test::pump();
  EXPECT_EQ(LVIS_SELECTED, SendMessageA(lv, LVM_GETITEMSTATE, 45, LVIS_SELECTED));
  EXPECT_EQ(45, list->selected.get());
  const int top = static_cast<int>(SendMessageA(lv, LVM_GETTOPINDEX, 0, 0));
  const int page = static_cast<int>(SendMessageA(lv, LVM_GETCOUNTPERPAGE, 0, 0));
  EXPECT_LE(top, 45);
  EXPECT_LT(45, top + page);
  EXPECT_GT(top, 0);

  list->selected.set(3);
  EXPECT_EQ(3, list->get_selection());
  EXPECT_EQ(LVIS_SELECTED, SendMessageA(lv, LVM_GETITEMSTATE, 3, LVIS_SELECTED));

  // `selected` reports the control's mark, not something remembered by select
  SendMessageA(lv, LVM_SETSELECTIONMARK, 0, 7);
  EXPECT_EQ(7, list->selected.get());
}

TEST(ListViewEx, Record) {
  gui::initor::list_view_ex rec;
  EXPECT_EQ(0x52800009, rec.style.value);
}
