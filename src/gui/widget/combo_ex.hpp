#pragma once
// A drop-down list whose entries are rows; the box shows each row's "name". Rows pushed into
// `items` appear at once, also before the window exists (then `fill` puts them all in when it
// is created). Clearing `items` leaves the native box as it is.

#include <memory>
#include <string>

#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/mvc/observable_vector.hpp"
#include "gui/widget/mvc/row.hpp"
#include "gui/widget/widget_base.hpp"

namespace gui {

namespace initor {

// 10 by 200, the height including the open list, which scrolls both ways; the box itself
// only chooses.
struct combo_ex : base {
  combo_ex() {
    size(10, 200);
    add_style(WS_VSCROLL | WS_HSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | CBS_DROPDOWNLIST);
  }
};

}  // namespace initor

class combo_ex : public widget_base<event::combo> {
 public:
  combo_ex();

  std::string class_name() override { return "ComboBox"; }

  // Appends the row's "name" (a text) to the native box.
  void add_item(const row& r);
  // Empties the native box and adds every row of `items` in order.
  void fill();
  // The width at which the closed box shows each of its items whole, in its font at its DPI.
  int fitting_width();

  observable_vector<row> items;
  property<int> selected;

 private:
  int get_selected();
  void set_selected(const int& index);
};

std::shared_ptr<combo_ex> make_combo_ex();

}  // namespace gui
