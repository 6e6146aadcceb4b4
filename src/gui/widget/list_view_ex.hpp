#pragma once
// A report-style list view that shows two models: its columns, fixed before the window is
// created, and its rows. The native control holds no items of its own (an owner-data list):
// it knows only how many rows there are, and asks for a cell's text when it needs one, which
// is the cell's column formatter applied to its row. `rows` is therefore the only copy, and
// a list of any length costs the control nothing until rows are painted.
//
// The control's items are positions of a view over the rows: sorted by a column and narrowed
// to the rows a predicate holds for, or, with neither, item i shows row i. Everything the
// program asks or tells by index (the selected row, a row to repaint or to select) is a row
// of `rows`; the view turns it into the place it shows at.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "any/any.hpp"
#include "gui/base/wnd_base.hpp"
#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/mvc/column_model.hpp"
#include "gui/widget/mvc/observable_vector.hpp"
#include "gui/widget/mvc/row.hpp"
#include "gui/widget/mvc/row_view.hpp"

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

  // -- the rows, by their index in `rows` --
  // The control's item count follows `rows` again, every row repainted (rows changed
  // silently through `rows.elements`), under the sort and the narrowing in force; selection
  // and focus start afresh.
  void refill();
  // Repaints row `index` where it shows on screen, if the column over `key` is shown; the
  // values are not read.
  void update(int index, std::string key, any old_value, any new_value);
  // Row `index`, already in `rows`, joins the control in its place (pushed at the end).
  void insert_item(int index, const row& r);
  // `count` rows from `first` on, already in `rows`, join at once (appended at the end).
  void insert_items(int first, int count);
  // Row `index`, already gone from `rows`, leaves the control; the rows below move up.
  void remove_item(int index);
  // Every row left `rows`: the control is empty and the sort ends; the narrowing stays for
  // the rows to come.
  void remove_all();
  // The row at the control's selection mark, -1 when there is none.
  int get_selection();
  // Selects row `index` and scrolls it into view, where it shows.
  void select(int index);
  // Row `index`'s rectangle in the list's client coordinates, scrolled into view first; empty
  // when it does not show.
  gui::rect row_rect(int index);

  // -- what shows, and in which order: positions over the rows (gui/widget/mvc/row_view) --
  // Sorts by column `column`'s `sort_key`, smaller keys first, or last when `descending`; -1,
  // or a column without a key, shows the rows' own order. The header shows the column's sort
  // arrow. A click on a header sorts by its column, a second click the other way.
  void sort_by(int column, bool descending);
  int sort_column() const { return sorted_column; }
  bool sort_descending() const { return view.descending(); }
  // Shows only the rows `match` holds for; none given, every row. `within`: it holds for no
  // row hidden now (a longer text to find), so only the rows shown are asked.
  void narrow(std::function<bool(const row&)> match, bool within);
  bool narrowed() const { return view.narrowed(); }
  std::size_t shown_count() const { return view.size(); }
  // The row shown at `position`.
  int row_at(int position) const { return static_cast<int>(view.row_at(static_cast<std::size_t>(position))); }

  // The positions on screen: [first, end), clipped to the rows shown.
  struct row_range {
    int first;
    int end;
  };
  row_range visible_rows();

  // The control's questions, asked by the container while the control waits: a cell's text
  // (LVN_GETDISPINFO), type-ahead or LVM_FINDITEM (LVN_ODFINDITEM), in either form, and a
  // click on a column's header (LVN_COLUMNCLICK).
  bool answer_notification(wnd_msg& m, int code) override;
  // Rows' texts are UTF-8, shown in every script: the list alone of the toolkit's controls
  // speaks Unicode to its container (LVN_GETDISPINFOW; header notifications come in their
  // wide forms too).
  bool unicode_notifications() override { return true; }

  // The column widths follow too, as the user left them.
  void rescale(int from_dpi, int to_dpi) override;

  observable_vector<row> rows;
  observable_vector<lv_column> columns;
  // The selected row: `get_selection` and `select`.
  property<int> selected;

 private:
  // The selected positions, the focused one and the selection mark (-1 for none).
  struct kept_states {
    std::vector<long> selected;
    long focused = -1;
    long mark = -1;
  };
  kept_states keep_states();
  void drop_states(const kept_states& k);
  void put_states(const kept_states& k);
  // The view changes as `change` says, for the rows already in it: the same rows stay
  // selected and focused, the control shows the new positions from the top, or where the
  // selection mark's row shows now.
  void change_view(const std::function<void()>& change);
  // Rows joined `rows` at its end: they take their places and the view stays where the
  // user scrolled it.
  void join_rows();
  void show_sort_arrows();
  void scroll_rows(int count);
  int mark_position();
  long position_of(int row);

  void keep_enter(wnd_msg& m);
  void focus_a_row();
  void set_state(int index, UINT state, UINT mask);
  int column_count();
  void add_native_columns();
  // The text of one cell (UTF-8) at a position, "" for a cell the models do not have.
  std::string cell_text(int item, int sub_item);
  // The first position from `start` (then, with LVFI_WRAP, from the top) whose first-column
  // text is `text` (LVFI_STRING) or starts with it (LVFI_PARTIAL), letter case ignored; -1
  // when there is none.
  int find_row(UINT flags, const std::wstring& text, int start);
  void set_item_count(int count);
  void repaint_rows(int first, int last);

  row_view view;
  int sorted_column = -1;
};

std::shared_ptr<list_view_ex> make_list_view_ex();

}  // namespace gui
