#pragma once
// A report-style list view that follows two models: its columns, fixed before the window is
// created, and its rows, whose every change reaches the native control. The control keeps no
// texts of its own: each cell is its column's formatter applied to its row.

#include <memory>
#include <string>

#include "any/any.hpp"
#include "gui/base/wnd_base.hpp"
#include "gui/widget/events.hpp"
#include "gui/widget/initor.hpp"
#include "gui/widget/mvc/column_model.hpp"
#include "gui/widget/mvc/observable_vector.hpp"
#include "gui/widget/mvc/row.hpp"

namespace gui {

namespace initor {

// WS_BORDER | LVS_SHOWSELALWAYS | LVS_REPORT
struct list_view_ex : base {
  list_view_ex() { add_style(0x00800009); }
};

}  // namespace initor

class list_view_ex : public wnd_base<event::list> {
 public:
  list_view_ex();

  void dispatch(wnd_msg& m) override;

  std::string class_name() override { return "syslistview32"; }

  // Rebuilds every native item from `rows`.
  void refill();
  // Recomputes the one cell of row `index` in the column over `key`; the values are not read.
  void update(int index, std::string key, any old_value, any new_value);
  void insert_item(int index, const row& r);
  void remove_item(int index);
  void remove_all();
  // The control's selection mark, -1 when there is none.
  int get_selection();
  void select(int index);
  // The row's rectangle in the list's client coordinates, scrolled into view first.
  gui::rect row_rect(int index);

  observable_vector<row> rows;
  observable_vector<lv_column> columns;
  property<int> selected;

 private:
  void keep_enter(wnd_msg& m);
  void focus_a_row();
  void set_state(int index, UINT state, UINT mask);
  int column_count();
  void add_native_columns();
  void set_cell(int item, int sub_item, const std::string& text);
};

std::shared_ptr<list_view_ex> make_list_view_ex();

}  // namespace gui
