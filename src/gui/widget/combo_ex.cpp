#include "gui/widget/combo_ex.hpp"

#include <windows.h>

#include <algorithm>
#include <functional>

#include "gui/base/dpi.hpp"
#include "gui/base/font.hpp"

namespace gui {

using namespace std::placeholders;

namespace {
// Beside the text and the drop-down button, the box's frame and the text's inset take 7
// pixels at 96 DPI; two more keep the text's last letter off the button.
constexpr int frame_and_inset = 7 + 2;
}  // namespace

combo_ex::combo_ex() {
  selected.get = std::bind(&combo_ex::get_selected, this);
  selected.set = std::bind(&combo_ex::set_selected, this, _1);
  events.on_create.add(std::bind(&combo_ex::fill, this));
  items.inserted.add([this](int, row r) { add_item(r); });
}

void combo_ex::add_item(const row& r) {
  const std::string& name = r.at("name").as<std::string>();
  SendMessageA(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void combo_ex::fill() {
  SendMessageA(hwnd, CB_RESETCONTENT, 0, 0);
  for (const row& r : items) add_item(r);
}

int combo_ex::fitting_width() {
  int widest = 0;
  for (const row& r : items) widest = std::max(widest, text_width(hwnd, r.at("name").as<std::string>()));
  const int dpi = dpi_of(hwnd);
  // The button is as wide as a vertical scroll bar.
  return widest + system_metric(SM_CXVSCROLL, dpi) + scale(frame_and_inset, dpi);
}

int combo_ex::get_selected() { return static_cast<int>(SendMessageA(hwnd, CB_GETCURSEL, 0, 0)); }

void combo_ex::set_selected(const int& index) {
  SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::shared_ptr<combo_ex> make_combo_ex() {
  std::shared_ptr<combo_ex> w(new combo_ex);
  w->set_init(new initor::combo_ex);
  return w;
}

}  // namespace gui
