#pragma once
// A report-style list view that shows two models: its columns, fixed before the window is
// created, and its rows. The native control holds no items of its own (an owner-data list):
// it knows only how many rows there are, and asks for a cell's text when it needs one, which
// is the cell's column formatter applied to its row. `rows` is therefore the only copy, and
// a list of any length costs the control nothing until rows are painted.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "any/any.hpp"
#include "gui/base/wnd_base.hpp"
#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/mvc/column_model.hpp"
#include "gui/widget/mvc/observable_vector.hpp"
#include "gui/widget/mvc/row.hpp"

namespace gui {

namespace initor {

struct list_view_ex : base {
  list_view_ex() { add_style(WS_BORDER | LVS_SHOWSELALWAYS | LVS_REPORT | LVS_OWNERDATA); }
};

}  // namespace initor

class list_view_ex : public wnd_base<event::list> {
 public:
  list_view_ex();

  void dispatch(wnd_msg& m) override;

  std::string class_name() override { return "syslistview32"; }

  // The control's item count follows `rows` again, every row repainted (rows changed
  // silently through `rows.elements`); selection and focus start afresh.
  void refill();
  // Repaints row `index` if the column over `key` is shown; the values are not read.
  void update(int index, std::string key, any old_value, any new_value);
  // Row `index`, already in `rows`, joins the control: the item count grows and only the
  // rows from `index` on are repainted, without scrolling.
  void insert_item(int index, const row& r);
  // Row `index`, already gone from `rows`, leaves the control; the rows below move up.
  void remove_item(int index);
  void remove_all();
  // The control's selection mark, -1 when there is none.
  int get_selection();
  void select(int index);
  // The row's rectangle in the list's client coordinates, scrolled into view first.
  gui::rect row_rect(int index);

  // The rows on screen: [first, end), clipped to `rows`.
  struct row_range {
    int first;
    int end;
  };
  row_range visible_rows();

  // The control's questions, asked by the container while the control waits: a cell's text
  // (LVN_GETDISPINFO) and type-ahead or LVM_FINDITEM (LVN_ODFINDITEM), in either form.
  bool answer_notification(wnd_msg& m, int code) override;
  // Rows' texts are UTF-8, shown in every script: the list alone of the toolkit's controls
  // speaks Unicode to its container (LVN_GETDISPINFOW; header notifications come in their
  // wide forms too).
  bool unicode_notifications() override { return true; }

  // The column widths follow too, as the user left them.
  void rescale(int from_dpi, int to_dpi) override;

  observable_vector<row> rows;
  observable_vector<lv_column> columns;
  property<int> selected;

 private:
  void keep_enter(wnd_msg& m);
  void focus_a_row();
  void set_state(int index, UINT state, UINT mask);
  int column_count();
  void add_native_columns();
  // The text of one cell (UTF-8), "" for a cell the models do not have.
  std::string cell_text(int item, int sub_item);
  // The first row from `start` (then, with LVFI_WRAP, from the top) whose first-column text
  // is `text` (LVFI_STRING) or starts with it (LVFI_PARTIAL), letter case ignored; -1 when
  // there is none.
  int find_row(UINT flags, const std::wstring& text, int start);
  void set_item_count(int count);
  void repaint_rows(int first, int last);
};

std::shared_ptr<list_view_ex> make_list_view_ex();

}  // namespace gui
