#include "gui/widget/combo_ex.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "gui/widget/controls/host.hpp"

namespace {

gui::row item(const std::string& id, const std::string& name) {
  gui::row r;
  r["id"] = id;
  r["name"] = name;
  return r;
}

std::vector<std::string> shown(HWND box) {
  std::vector<std::string> out;
  const int n = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char buf[128] = {};
    SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    out.push_back(buf);
  }
  return out;
}

}  // namespace

TEST(ComboEx, ShowsItsItems) {
  std::shared_ptr<gui::combo_ex> box = gui::make_combo_ex();
  std::shared_ptr<gui::window> win = vex_test::make_host("combo");
  win->add(box);

  // rows pushed before creation appear in push order, unsorted
  box->items.push_back(item("3", "Hard"));
  box->items.push_back(item("1", "Easy"));
  box->items.push_back(item("4", "Insane"));
  box->items.push_back(item("2", "Medium"));
  win->create();
  ASSERT_NE(nullptr, box->hwnd);
  EXPECT_EQ((std::vector<std::string>{"Hard", "Easy", "Insane", "Medium"}), shown(box->hwnd));

  // nothing is selected until something is set
  EXPECT_EQ(-1, box->selected.get());
  box->selected.set(2);
  EXPECT_EQ(2, box->selected.get());
  char text[64] = {};
  GetWindowTextA(box->hwnd, text, sizeof(text));
  EXPECT_STREQ("Insane", text);

  // rows pushed after creation appear at once, at the end
  box->items.push_back(item("0", "Any"));
  EXPECT_EQ((std::vector<std::string>{"Hard", "Easy", "Insane", "Medium", "Any"}), shown(box->hwnd));

  // clearing the items leaves the native box alone; fill makes it follow them again
  box->items.clear();
  EXPECT_EQ(5u, shown(box->hwnd).size());
  box->items.elements.push_back(item("9", "Only"));
  box->fill();
  EXPECT_EQ((std::vector<std::string>{"Only"}), shown(box->hwnd));

  // a row without a text "name"
  gui::row nameless;
  nameless["id"] = std::string("7");
  EXPECT_THROW(box->add_item(nameless), std::out_of_range);
  gui::row numbered;
  numbered["name"] = 7;
  EXPECT_THROW(box->add_item(numbered), anyimpl::bad_any_cast);
  EXPECT_EQ(1u, shown(box->hwnd).size());
}

TEST(ComboEx, Record) {
  gui::initor::combo_ex rec;
  EXPECT_EQ(0x52300243, rec.style.value);
  EXPECT_EQ(10, rec.size.value.width);
  EXPECT_EQ(200, rec.size.value.height);
}
