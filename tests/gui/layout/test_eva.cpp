// The grid layout on real windows: the description's grammar, then the rectangles it gives.
//
// Every placed window's rect setter is wrapped to record what the layout asked for, so that
// extents Windows would refuse (negative sizes) are still visible, while the native rectangle
// is checked too where Windows keeps it as set.

#include "gui/layout/eva.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "gui/layout/screenshot.hpp"
#include "gui/widget/button.hpp"
#include "gui/widget/combo_ex.hpp"
#include "gui/widget/edit.hpp"
#include "gui/widget/label.hpp"
#include "gui/widget/list_view_ex.hpp"
#include "gui/widget/progress.hpp"
#include "gui/widget/window.hpp"

#ifndef VEX_ARTIFACTS_DIR
#define VEX_ARTIFACTS_DIR "artifacts"
#endif

using gui::layout::eva;

namespace {

std::string str(const gui::rect& r) {
  std::ostringstream out;
  out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
  return out.str();
}

// What the layout last asked each window to be, by name.
struct placements {
  std::map<std::string, std::string> last;
  int moves = 0;

  void watch(const std::shared_ptr<gui::wnd32>& w, const std::string& name) {
    auto native = w->rect.set;
    w->rect.set = [this, native, name](const gui::rect& r) {
      last[name] = str(r);
      ++moves;
      native(r);
    };
  }
};

void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Gives a top-level window exactly this client area.
void set_client_size(HWND hwnd, int width, int height) {
  RECT outer, inner;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &inner);
  const int frame_w = (outer.right - outer.left) - inner.right;
  const int frame_h = (outer.bottom - outer.top) - inner.bottom;
  SetWindowPos(hwnd, nullptr, 0, 0, width + frame_w, height + frame_h,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  pump();
}

std::shared_ptr<gui::window> host(eva* layout, const std::string& title) {
  std::shared_ptr<gui::window> win = gui::make_window();
  auto* rec = new gui::initor::window;
  rec->text(title).size(400, 300).resizable(true).layout(layout);
  win->set_init(rec);
  return win;
}

gui::row item(const std::string& id, const std::string& name) {
  gui::row r;
  r["id"] = id;
  r["name"] = name;
  return r;
}

// The application's main window, as its composition describes it.
struct main_form {
  std::shared_ptr<gui::label> title_label = gui::make_label("Title", 514);
  std::shared_ptr<gui::label> difficulty_label = gui::make_label("Difficulty", 514);
  std::shared_ptr<gui::label> platform_label = gui::make_label("Platform", 514);
  std::shared_ptr<gui::label> language_label = gui::make_label("Language", 514);
  std::shared_ptr<gui::label> type_label = gui::make_label("Type", 514);
  std::shared_ptr<gui::label> sort_label = gui::make_label("Sort", 514);
  std::shared_ptr<gui::edit> title_edit = gui::make_edit();
  std::shared_ptr<gui::combo_ex> difficulty = gui::make_combo_ex();
  std::shared_ptr<gui::combo_ex> platform = gui::make_combo_ex();
  std::shared_ptr<gui::combo_ex> language = gui::make_combo_ex();
  std::shared_ptr<gui::combo_ex> type = gui::make_combo_ex();
  std::shared_ptr<gui::combo_ex> sort = gui::make_combo_ex();
  std::shared_ptr<gui::progress> bar;
  std::shared_ptr<gui::button> refresh = gui::make_button("Refresh");
  std::shared_ptr<gui::list_view_ex> list = gui::make_list_view_ex();
  std::shared_ptr<gui::window> win;
  eva* layout = new eva(10, 5);
  placements placed;

  main_form() {
    auto* bar_rec = new gui::initor::progress;
    bar_rec->size(100, 10);
    bar = gui::make_progress(bar_rec);

    layout->margins = gui::layout::margins(10, 10, 10, 10);
    *layout << 70 << 10 << 100 << 10 << 'x'
            << 0 << ' ' << ' ' << ' ' << ' ' << list
            << 24 << title_label << ' ' << title_edit << ' ' << '|'
            << 24 << difficulty_label << ' ' << difficulty << ' ' << '|'
            << 24 << platform_label << ' ' << platform << ' ' << '|'
            << 24 << language_label << ' ' << language << ' ' << '|'
            << 24 << type_label << ' ' << type << ' ' << '|'
            << 24 << sort_label << ' ' << sort << ' ' << '|'
            << 'd' << refresh << '-' << '-' << ' ' << '|'
            << 10 << bar << '-' << '-' << ' ' << '|'
            << 'x' << ' ' << ' ' << ' ' << ' ' << '|';

    win = host(layout, "vexlets");
    win->add(title_label, title_edit, difficulty_label, difficulty, platform_label, platform,
             language_label, language, type_label, type, sort_label, sort, bar, refresh, list);

    placed.watch(list, "list");
    placed.watch(title_label, "title label");
    placed.watch(title_edit, "title edit");
    placed.watch(difficulty_label, "difficulty label");
    placed.watch(difficulty, "difficulty");
    placed.watch(sort, "sort");
    placed.watch(refresh, "refresh");
    placed.watch(bar, "bar");
  }
};

std::map<std::string, std::string> expected_at_800_by_600() {
  return {{"list", "(200, 10, 590, 580)"},         {"title label", "(10, 10, 70, 24)"},
          {"title edit", "(90, 10, 100, 24)"},     {"difficulty label", "(10, 34, 70, 24)"},
          {"difficulty", "(90, 34, 100, 24)"},     {"sort", "(90, 130, 100, 24)"},
          {"refresh", "(10, 154, 180, 24)"},       {"bar", "(10, 178, 180, 10)"}};
}

}  // namespace

TEST(Eva, MainWindowDescription) {
  main_form form;

  // the grammar: five column headers, then ten rows of a header and five cells
  ASSERT_EQ(5u, form.layout->col_headers.size());
  ASSERT_EQ(10u, form.layout->row_headers.size());
  ASSERT_EQ(10u, form.layout->grid.size());
  for (const eva::row& cells : form.layout->grid) EXPECT_EQ(5u, cells.size());
  EXPECT_EQ('x', form.layout->col_headers[4]->kind());
  EXPECT_EQ(0, form.layout->col_headers[0]->kind());
  auto* refresh_row = dynamic_cast<eva::d*>(form.layout->row_headers[7].get());
  ASSERT_NE(nullptr, refresh_row);
  EXPECT_TRUE(refresh_row->is_row);
  EXPECT_EQ(7, refresh_row->index);
  EXPECT_TRUE(form.layout->grid[0][4]->is_wnd());
  EXPECT_TRUE(form.layout->grid[9][4]->spans(eva::vertical));
  EXPECT_FALSE(form.layout->grid[9][4]->spans(eva::horizontal));
  EXPECT_TRUE(form.layout->grid[7][1]->spans(eva::horizontal));
  EXPECT_FALSE(form.layout->grid[7][3]->spans(eva::horizontal));

  for (const char* name : {"Easy", "Medium", "Hard"}) form.difficulty->items.push_back(item("1", name));
  form.list->columns.push_back(gui::lv_column("Name", "name", 180, &gui::format_field<std::string>));
  form.list->columns.push_back(gui::lv_column("Done", "done", 60, [](gui::row r, std::string key) {
    return r.count(key) && r.at(key).as<bool>() ? std::string("Yes") : std::string();
  }));
  form.win->create();
  set_client_size(form.win->hwnd, 800, 600);
  const gui::rect client = form.win->client_rect.get();
  ASSERT_EQ("(0, 0, 800, 600)", str(client));

  const auto expected = expected_at_800_by_600();
  for (const auto& e : expected) EXPECT_EQ(e.second, form.placed.last[e.first]) << e.first;

  // Windows keeps what it was given, except a drop-down combo box's height, which is its
  // closed height.
  EXPECT_EQ(expected.at("list"), str(form.list->rect.get()));
  EXPECT_EQ(expected.at("title label"), str(form.title_label->rect.get()));
  EXPECT_EQ(expected.at("title edit"), str(form.title_edit->rect.get()));
  EXPECT_EQ(expected.at("refresh"), str(form.refresh->rect.get()));
  EXPECT_EQ(expected.at("bar"), str(form.bar->rect.get()));
  const gui::rect combo = form.difficulty->rect.get();
  EXPECT_EQ("(90, 34, 100)", "(" + std::to_string(combo.x) + ", " + std::to_string(combo.y) +
                                 ", " + std::to_string(combo.width) + ")");

  // The 'd' row keeps the button's 24 pixels on every later resize, and the last row takes
  // what is left: elsewhere, then back, and the same size again give the same rectangles.
  set_client_size(form.win->hwnd, 640, 480);
  EXPECT_EQ("(200, 10, 430, 460)", form.placed.last["list"]);
  EXPECT_EQ("(10, 154, 180, 24)", form.placed.last["refresh"]);
  set_client_size(form.win->hwnd, 800, 600);
  for (const auto& e : expected) EXPECT_EQ(e.second, form.placed.last[e.first]) << e.first;
  const int moves = form.placed.moves;
  form.win->relayout();
  EXPECT_LT(moves, form.placed.moves);
  for (const auto& e : expected) EXPECT_EQ(e.second, form.placed.last[e.first]) << e.first;

  // An artifact for people to look at: every control, filled, where the description puts it.
  form.title_edit->text.set("keyloom");
  form.difficulty->selected.set(1);
  for (int i = 0; i < 5; ++i) {
    gui::row r;
    r["name"] = "vexlet #" + std::to_string(i + 1);
    r["done"] = i % 2 == 1;
    form.list->rows.push_back(r);
  }
  form.list->select(2);
  form.bar->set_range(0, 10);
  form.bar->value.set(6);
  form.bar->visible.set(true);
  ShowWindow(form.win->hwnd, SW_SHOW);
  SetForegroundWindow(form.win->hwnd);
  RedrawWindow(form.win->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  pump();
  CreateDirectoryA(VEX_ARTIFACTS_DIR, nullptr);
  const std::string shot = std::string(VEX_ARTIFACTS_DIR) + "/main_window_layout.png";
  if (vex_test::save_client_png(form.win->hwnd, shot))
    std::printf("screenshot: %s\n", shot.c_str());
  else
    std::printf("screenshot could not be saved to %s\n", shot.c_str());
}

TEST(Eva, NegativeExtentsAreNotClamped) {
  main_form form;
  form.win->create();
  // A client area smaller than the fixed columns: the 'x' column's width goes negative, and
  // margins larger than the client area make the content itself negative.
  form.win->client_rect.get = [] { return gui::rect{0, 0, 150, 100}; };
  form.win->relayout();
  EXPECT_EQ("(200, 10, -60, 80)", form.placed.last["list"]);
  form.win->client_rect.get = [] { return gui::rect{0, 0, 15, 12}; };
  form.win->relayout();
  // content (10, 10, -5, -8); rows 0 .. 8 take 178 of it, the last row -186
  EXPECT_EQ("(200, 10, -195, -8)", form.placed.last["list"]);
  EXPECT_EQ("(10, 178, 180, 10)", form.placed.last["bar"]);
}

TEST(Eva, SpansAndZeroHeightRows) {
  auto a = gui::make_label("A", 0), b = gui::make_label("B", 0), c = gui::make_label("C", 0);
  auto d = gui::make_label("D", 0), e = gui::make_label("E", 0), f = gui::make_label("F", 0);
  eva* layout = new eva(4, 5);
  layout->margins = gui::layout::margins(1, 2, 3, 4);
  *layout << 10 << 20 << 30 << 40 << 'x'
          << 15 << ' ' << '-' << a << '-' << ' '
          << 0 << b << '-' << ' ' << '-' << c
          << 25 << '|' << ' ' << d << ' ' << ' '
          << 'x' << e << ' ' << '|' << '-' << f;
  auto win = host(layout, "spans");
  win->add(a, b, c, d, e, f);
  placements placed;
  for (auto& w : {std::make_pair(a, "A"), std::make_pair(b, "B"), std::make_pair(c, "C"),
                  std::make_pair(d, "D"), std::make_pair(e, "E"), std::make_pair(f, "F")})
    placed.watch(w.first, w.second);
  win->create();
  set_client_size(win->hwnd, 300, 200);
  // content (4, 1, 294, 196): columns 10, 20, 30, 40, 194; rows 15, 0, 25, 156

  // '-' on both sides, and the scan stops at the first other cell
  EXPECT_EQ("(14, 1, 90, 15)", placed.last["A"]);
  // B reaches right over '-' and down over '|'; C reaches left over '-' and stays 0 high
  EXPECT_EQ("(4, 16, 30, 25)", placed.last["B"]);
  EXPECT_EQ("(64, 16, 234, 0)", placed.last["C"]);
  EXPECT_EQ("(64, 16, 234, 0)", str(c->rect.get()));
  // D reaches down over '|' into the 'x' row
  EXPECT_EQ("(34, 16, 30, 181)", placed.last["D"]);
  // E reaches up over the '|' that B also reaches down over
  EXPECT_EQ("(4, 16, 10, 181)", placed.last["E"]);
  EXPECT_EQ("(64, 41, 234, 156)", placed.last["F"]);
  EXPECT_EQ("(64, 41, 234, 156)", str(f->rect.get()));
}

TEST(Eva, DRowsAndColumnsTakeTheirWindowsSize) {
  auto p = gui::make_button("P");  // made 70 by 24
  auto q = gui::make_edit();       // made 100 by 22
  auto r = gui::make_label("R", 0);
  eva* layout = new eva(3, 3);
  *layout << 'd' << 10 << 'x'
          << 'd' << p << ' ' << ' '
          << 'd' << q << ' ' << '|'
          << 'x' << ' ' << ' ' << r;
  // 'd' gets its own position among the headers of its axis
  EXPECT_EQ(0, dynamic_cast<eva::d&>(*layout->col_headers[0]).index);
  EXPECT_FALSE(dynamic_cast<eva::d&>(*layout->col_headers[0]).is_row);
  EXPECT_EQ(1, dynamic_cast<eva::d&>(*layout->row_headers[1]).index);

  auto win = host(layout, "d headers");
  win->add(p, q, r);
  placements placed;
  placed.watch(p, "P");
  placed.watch(q, "Q");
  placed.watch(r, "R");
  win->create();
  set_client_size(win->hwnd, 300, 200);

  // column 0 is as wide as its widest window (the edit box), each 'd' row as high as its
  // window; R reaches up into row 1 over '|' without making that row any higher.
  EXPECT_EQ("(0, 0, 100, 24)", placed.last["P"]);
  EXPECT_EQ("(0, 24, 100, 22)", placed.last["Q"]);
  EXPECT_EQ("(110, 24, 190, 176)", placed.last["R"]);
  win->relayout();
  EXPECT_EQ("(0, 0, 100, 24)", placed.last["P"]);
  EXPECT_EQ("(0, 24, 100, 22)", placed.last["Q"]);
  EXPECT_EQ("(110, 24, 190, 176)", placed.last["R"]);
}

TEST(Eva, ShortDescriptionCountsMissingPlacesAsEmpty) {
  auto a = gui::make_label("A", 0), b = gui::make_label("B", 0);
  eva* layout = new eva(4, 3);
  *layout << 10 << 20 << 'x' << 30 << a << '-' << ' ' << 'x' << b;
  auto win = host(layout, "short");
  win->add(a, b);
  placements placed;
  placed.watch(a, "A");
  placed.watch(b, "B");
  win->create();
  set_client_size(win->hwnd, 100, 80);
  EXPECT_EQ("(0, 0, 30, 30)", placed.last["A"]);
  EXPECT_EQ("(0, 30, 10, 50)", placed.last["B"]);
}

TEST(EvaDeathTest, MalformedDescriptions) {
  auto w = gui::make_label("w", 0);
  EXPECT_DEATH(
      {
        eva l(2, 5);
        l << 70 << 10 << w;
      },
      "cannot create eva header with wnd_ptr.*gui/layout/eva");
  EXPECT_DEATH(
      {
        eva l(2, 2);
        l << 70 << 'a';
      },
      "creating unknown eva header.*gui/layout/eva");
  EXPECT_DEATH(
      {
        eva l(2, 2);
        l << 70 << 10 << 'a';
      },
      "creating unknown eva header");
  EXPECT_DEATH(
      {
        eva l(2, 2);
        l << 70 << 10 << 24 << 'a';
      },
      "create NULL cell in eva layout.*gui/layout/eva");
  EXPECT_DEATH(
      {
        eva l(2, 2);
        l << 70 << 10 << 24 << ' ' << 5;
      },
      "create NULL cell in eva layout");
}
