#include "gui/widget/list_view_ex.hpp"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "gui/widget/controls/host.hpp"
#include "gui/widget/edit.hpp"

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

int focused(HWND lv) { return static_cast<int>(SendMessageA(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)); }

// A list whose "Done" column reads a mark kept outside the rows, as the application's does.
// Every formatter call is logged as "key:name", so a test sees which cells were asked for.
struct marked_list {
  std::map<std::string, bool> marks;
  std::vector<std::string> formatted;
  std::shared_ptr<gui::list_view_ex> list = gui::make_list_view_ex();
  std::shared_ptr<gui::window> win = vex_test::make_host("list view");

  marked_list() {
    list->init->pos(0, 0).size(300, 200);
    list->columns.push_back(gui::lv_column("Name", "name", 120, [this](gui::row r, std::string key) {
      formatted.push_back(key + ":" + r.at("name").as<std::string>());
      return gui::format_field<std::string>(r, key);
    }));
    list->columns.push_back(gui::lv_column("Done", "done", 60, [this](gui::row r, std::string key) {
      formatted.push_back(key + ":" + r.at("name").as<std::string>());
      return marks[r.at("url").as<std::string>()] ? std::string("Yes") : std::string();
    }));
    win->add(list);
  }

  // Paints whatever is pending, then forgets what that asked for.
  void settle() {
    vex_test::pump();
    UpdateWindow(list->hwnd);
    formatted.clear();
  }
  // The cells a repaint asks for now.
  std::vector<std::string> painted() {
    UpdateWindow(list->hwnd);
    std::vector<std::string> out;
    out.swap(formatted);
    return out;
  }
};

// The container's WM_NOTIFY, as an ANSI or a wide control would send it.
template <typename N>
LRESULT notify(const marked_list& m, UINT code, N& record) {
  record.hdr.hwndFrom = m.list->hwnd;
  record.hdr.code = code;
  return SendMessageA(m.win->hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&record));
}

}  // namespace

TEST(ListViewEx, ShowsItsRowsWithoutKeepingItems) {
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
  const LONG style = WS_BORDER | LVS_SHOWSELALWAYS | LVS_REPORT | LVS_OWNERDATA;
  EXPECT_EQ(style, GetWindowLongA(lv, GWL_STYLE) & style);

  // appending sets the count and formats nothing until the control asks
  m.formatted.clear();
  m.list->rows.push_back(entry("delta", "/d"));
  EXPECT_EQ(none, m.formatted);
  EXPECT_EQ(4, item_count(lv));
  EXPECT_EQ("delta", cell(lv, 3, 0));

  // the rows are the only copy: every cell the control reads is its formatter's text now
  m.marks["/a"] = m.marks["/d"] = true;
  EXPECT_EQ((std::vector<std::string>{"alpha|Yes", "beta|Yes", "gamma|", "delta|Yes"}), texts(lv));

  // removing a row moves the ones below up
  m.list->rows.erase(1);
  EXPECT_EQ((std::vector<std::string>{"alpha|Yes", "gamma|", "delta|Yes"}), texts(lv));

  // refill follows rows changed silently; clear empties the control at once
  m.list->rows.elements.push_back(entry("epsilon", "/e"));
  EXPECT_EQ(3, item_count(lv));
  m.list->refill();
  EXPECT_EQ((std::vector<std::string>{"alpha|Yes", "gamma|", "delta|Yes", "epsilon|"}), texts(lv));
  m.list->rows.clear();
  EXPECT_EQ(none, texts(lv));

  // a column added after creation does not appear
  m.list->columns.push_back(gui::lv_column("Url", "url", 80, &gui::format_field<std::string>));
  m.list->rows.push_back(entry("zeta", "/z"));
  EXPECT_EQ(2, column_count(lv));
  EXPECT_EQ("zeta", cell(lv, 0, 0));

  // a list of any length costs one count
  for (int i = 0; i < 100000; ++i) m.list->rows.elements.push_back(entry("row " + std::to_string(i), "/r"));
  m.list->refill();
  EXPECT_EQ(100001, item_count(lv));
  EXPECT_EQ("row 99999", cell(lv, 100000, 0));
}

// The control's buffer is the caller's: a text longer than it is cut, the end written, and
// nothing past it touched, in the ANSI and in the wide form.
TEST(ListViewEx, TextsFitTheCallersBuffer) {
  marked_list m;
  m.list->rows.push_back(entry("alphabet", "/a"));
  m.win->create();

  char narrow[8];
  std::fill(std::begin(narrow), std::end(narrow), 'X');
  LVITEMA it = {};
  it.pszText = narrow;
  it.cchTextMax = 4;
  EXPECT_EQ(3, SendMessageA(m.list->hwnd, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&it)));
  EXPECT_EQ(std::string("alp\0XXXX", 8), std::string(narrow, 8));

  wchar_t wide[8];
  std::fill(std::begin(wide), std::end(wide), L'X');
  NMLVDISPINFOW info = {};
  info.item.mask = LVIF_TEXT;
  info.item.pszText = wide;
  info.item.cchTextMax = 6;
  notify(m, LVN_GETDISPINFOW, info);
  EXPECT_EQ(std::wstring(L"alpha\0XX", 8), std::wstring(wide, 8));

  // a cell the models do not have reads as nothing
  std::fill(std::begin(narrow), std::end(narrow), 'X');
  NMLVDISPINFOA missing = {};
  missing.item.mask = LVIF_TEXT;
  missing.item.iItem = 5;
  missing.item.pszText = narrow;
  missing.item.cchTextMax = 8;
  notify(m, LVN_GETDISPINFOA, missing);
  EXPECT_EQ('\0', narrow[0]);
}

// Cells hold UTF-8 and the list asks in the wide form, which carries every character: its
// container answers WM_NOTIFYFORMAT so for the list and for no other child, and a cut never
// leaves half a surrogate pair. The ANSI form gets "?" for what the code page lacks.
TEST(ListViewEx, SpeaksUnicodeToItsContainerAlone) {
  marked_list m;
  auto edit = gui::make_edit();
  m.win->add(edit);
  m.list->rows.push_back(entry("\u30C6\u0416\U0001F600\u00E9", "/a"));
  m.win->create();
  EXPECT_EQ(NFR_UNICODE, SendMessageA(m.win->hwnd, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m.list->hwnd), NF_QUERY));
  EXPECT_EQ(NFR_ANSI, SendMessageA(m.win->hwnd, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(edit->hwnd), NF_QUERY));

  wchar_t wide[8] = {};
  LVITEMW it = {};
  it.pszText = wide;
  it.cchTextMax = 8;
  EXPECT_EQ(5, SendMessageW(m.list->hwnd, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&it)));
  EXPECT_EQ(std::wstring(L"\u30C6\u0416\xD83D\xDE00\u00E9"), std::wstring(wide));
  std::fill(std::begin(wide), std::end(wide), L'X');
  NMLVDISPINFOW info = {};
  info.item.mask = LVIF_TEXT;
  info.item.pszText = wide;
  info.item.cchTextMax = 4;
  notify(m, LVN_GETDISPINFOW, info);
  EXPECT_EQ(std::wstring(L"\u30C6\u0416\0X", 4), std::wstring(wide, 4));
  EXPECT_EQ("?", cell(m.list->hwnd, 0, 0).substr(0, 1));
}

// Changes repaint the rows they touch and no others.
TEST(ListViewEx, RepaintsOnlyTheRowsThatChanged) {
  marked_list m;
  for (const char* name : {"alpha", "beta", "gamma"}) m.list->rows.push_back(entry(name, std::string("/") + name));
  m.win->create();
  m.settle();

  m.marks["/beta"] = true;
  m.list->update(1, "done", any(0), any(0));
  EXPECT_EQ((std::vector<std::string>{"name:beta", "done:beta"}), m.painted());

  // a key that no column shows, or a row that is not there, repaints nothing
  m.list->update(1, "url", any(0), any(0));
  m.list->update(3, "done", any(0), any(0));
  m.list->update(-1, "done", any(0), any(0));
  EXPECT_EQ(std::vector<std::string>(), m.painted());

  // a new row paints itself alone; the changed signal repaints its row as update does
  m.list->rows.push_back(entry("delta", "/delta"));
  EXPECT_EQ((std::vector<std::string>{"name:delta", "done:delta"}), m.painted());
  m.list->rows.changed.fire(0, std::string("done"), any(0), any(0));
  EXPECT_EQ((std::vector<std::string>{"name:alpha", "done:alpha"}), m.painted());
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
  const gui::list_view_ex::row_range shown = list->visible_rows();
  EXPECT_EQ(top, shown.first);
  EXPECT_LT(45, shown.end);

  list->selected.set(3);
  EXPECT_EQ(3, list->get_selection());
  EXPECT_EQ(LVIS_SELECTED, SendMessageA(lv, LVM_GETITEMSTATE, 3, LVIS_SELECTED));

  // `selected` reports the control's mark, not something remembered by select
  SendMessageA(lv, LVM_SETSELECTIONMARK, 0, 7);
  EXPECT_EQ(7, list->selected.get());

  // clearing forgets the selection and its mark
  list->rows.clear();
  EXPECT_EQ(-1, list->selected.get());
  EXPECT_EQ(0, SendMessageA(lv, LVM_GETSELECTEDCOUNT, 0, 0));
}

// Typing finds a row by its first column, letter case ignored, as a list with items of its
// own does. The control asks in the wide form even of an ANSI parent; the ANSI form is
// answered alike.
TEST(ListViewEx, TypeAheadFindsRowsByTheirFirstColumn) {
  marked_list m;
  for (const char* name : {"alpha", "beta", "Gamma", "gamut", "delta"}) m.list->rows.push_back(entry(name, "/x"));
  m.win->create();
  HWND lv = m.list->hwnd;
  SetFocus(lv);

  for (char c : std::string("g")) SendMessageA(lv, WM_CHAR, static_cast<WPARAM>(c), 1);
  EXPECT_EQ(2, focused(lv));
  EXPECT_EQ(LVIS_SELECTED, SendMessageA(lv, LVM_GETITEMSTATE, 2, LVIS_SELECTED));
  for (char c : std::string("amu")) SendMessageA(lv, WM_CHAR, static_cast<WPARAM>(c), 1);
  EXPECT_EQ(3, focused(lv));

  LVFINDINFOA exact = {};
  exact.flags = LVFI_STRING;
  exact.psz = "BETA";
  EXPECT_EQ(1, SendMessageA(lv, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&exact)));
  exact.psz = "bet";
  EXPECT_EQ(-1, SendMessageA(lv, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&exact)));

  NMLVFINDITEMA find = {};
  find.iStart = 3;
  find.lvfi.flags = LVFI_PARTIAL;
  find.lvfi.psz = "AL";
  EXPECT_EQ(-1, notify(m, LVN_ODFINDITEMA, find));  // from row 3 down there is none
  find.lvfi.flags = LVFI_PARTIAL | LVFI_WRAP;
  EXPECT_EQ(0, notify(m, LVN_ODFINDITEMA, find));
  find.lvfi.flags = LVFI_PARAM;  // rows carry no item data
  EXPECT_EQ(-1, notify(m, LVN_ODFINDITEMA, find));

  NMLVFINDITEMW wide = {};
  wide.iStart = 0;
  wide.lvfi.flags = LVFI_PARTIAL;
  wide.lvfi.psz = L"DEL";
  EXPECT_EQ(4, notify(m, LVN_ODFINDITEMW, wide));
  // Letter case is ignored in every script.
  m.list->rows.push_back(entry("\u0416\u0443\u043A", "/x"));
  wide.lvfi.psz = L"\u0436\u0423";
  EXPECT_EQ(5, notify(m, LVN_ODFINDITEMW, wide));
}

TEST(ListViewEx, Record) {
  gui::initor::list_view_ex rec;
  EXPECT_EQ(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_BORDER | LVS_SHOWSELALWAYS | LVS_REPORT | LVS_OWNERDATA,
            rec.style.value);
}
