#include "gui/widget/list_view_ex.hpp"

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "gui/widget/common_controls.hpp"

namespace gui {

using namespace std::placeholders;

list_view_ex::list_view_ex() {
  ensure_common_controls();
  selected.get = std::bind(&list_view_ex::get_selection, this);
  selected.set = std::bind(&list_view_ex::select, this, _1);

  // A new window shows its columns first, then every row already in the model.
  events.on_create.add([this] {
    add_native_columns();
    const LPARAM ex = SendMessageA(hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageA(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex | LVS_EX_FULLROWSELECT);
    refill();
  });
  rows.inserted.add(std::bind(&list_view_ex::insert_item, this, _1, _2));
  rows.changed.add(std::bind(&list_view_ex::update, this, _1, _2, _3, _4));
  rows.removed.add(std::bind(&list_view_ex::remove_item, this, _1));
  rows.cleared.add(std::bind(&list_view_ex::remove_all, this));
  // Nothing follows `columns`: they must be complete before the window exists.
}

void list_view_ex::dispatch(wnd_msg& m) {
  if (m.msg == WM_GETDLGCODE) keep_enter(m);
  if (m.msg == WM_SETFOCUS) focus_a_row();
  wnd_base<event::list>::dispatch(m);
}

// WM_GETDLGCODE for Enter: a list that acts on Enter (`on_return`) keeps the key, which dialog
// navigation would otherwise give to the default button.
void list_view_ex::keep_enter(wnd_msg& m) {
  const MSG* key = reinterpret_cast<const MSG*>(m.lparam);
  if (events.on_return.handlers.empty() || !key || key->message != WM_KEYDOWN || key->wParam != VK_RETURN)
    return;
  m.result = CallWindowProcA(old_proc, hwnd, m.msg, m.wparam, m.lparam) | DLGC_WANTMESSAGE;
  m.handled = true;
}

// WM_SETFOCUS: a list reached with the keyboard and no focused row (rows filled or selected
// from code) shows the focus at the selected row, else at the first, and the arrows and Enter
// start there. Focusing selects nothing, and leaves no selection mark where there was none
// (the list would otherwise put one on the first focused row).
void list_view_ex::focus_a_row() {
  if (rows.size() == 0 || SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) >= 0)
    return;
  const int mark = get_selection();
  set_state(mark >= 0 ? mark : 0, LVIS_FOCUSED, LVIS_FOCUSED);
  SendMessageA(hwnd, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(mark));
}

void list_view_ex::set_state(int index, UINT state, UINT mask) {
  LVITEMA item = {};
  item.mask = LVIF_STATE;
  item.state = state;
  item.stateMask = mask;
  SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int list_view_ex::column_count() {
  HWND header = reinterpret_cast<HWND>(SendMessageA(hwnd, LVM_GETHEADER, 0, 0));
  return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

void list_view_ex::add_native_columns() {
  for (const lv_column& c : columns) {
    LVCOLUMNA col = {};
    col.mask = LVCF_WIDTH | LVCF_TEXT;
    col.cx = c.width;
    col.pszText = const_cast<char*>(c.title.c_str());
    SendMessageA(hwnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column_count()),
                 reinterpret_cast<LPARAM>(&col));
  }
}

void list_view_ex::set_cell(int item, int sub_item, const std::string& text) {
  LVITEMA cell = {};
  cell.iSubItem = sub_item;
  cell.pszText = const_cast<char*>(text.c_str());
  SendMessageA(hwnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

void list_view_ex::insert_item(int index, const row& r) {
  char nothing[] = "";
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE | LVIF_INDENT;
  item.iItem = index;
  item.pszText = nothing;
  SendMessageA(hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  int sub_item = 0;
  for (const lv_column& c : columns) set_cell(index, sub_item++, c.formatter(r, c.key));
}

void list_view_ex::update(int index, std::string key, any /*old_value*/, any /*new_value*/) {
  const int c = index_of_key(columns, key);
  // A key no column shows, or a row that is not there, has no cell to refresh.
  if (c < 0 || index < 0 || static_cast<std::size_t>(index) >= rows.size()) return;
  set_cell(index, c, columns[static_cast<std::size_t>(c)].formatter(rows[static_cast<std::size_t>(index)], key));
}

void list_view_ex::remove_item(int index) {
  SendMessageA(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void list_view_ex::remove_all() { SendMessageA(hwnd, LVM_DELETEALLITEMS, 0, 0); }

void list_view_ex::refill() {
  redraw_pause pause(*this);
  remove_all();
  for (std::size_t i = 0; i < rows.size(); ++i) insert_item(static_cast<int>(i), rows[i]);
}

int list_view_ex::get_selection() {
  return static_cast<int>(SendMessageA(hwnd, LVM_GETSELECTIONMARK, 0, 0));
}

void list_view_ex::select(int index) {
  SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
  set_state(index, LVIS_SELECTED, LVIS_SELECTED);
  // Setting the state alone leaves the mark where it was (-1 in a fresh list), and the mark
  // is what `selected` reads back.
  SendMessageA(hwnd, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(index));
}

gui::rect list_view_ex::row_rect(int index) {
  SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
  RECT r = {};
  r.left = LVIR_BOUNDS;
  if (!SendMessageA(hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)))
    return gui::rect{0, 0, 0, 0};
  return gui::rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::shared_ptr<list_view_ex> make_list_view_ex() {
  std::shared_ptr<list_view_ex> w(new list_view_ex);
  w->set_init(new initor::list_view_ex);
  return w;
}

}  // namespace gui
