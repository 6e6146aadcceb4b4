#include "gui/widget/list_view_ex.hpp"

#include <algorithm>
#include <functional>

#include "gui/base/dpi.hpp"
#include "gui/widget/common_controls.hpp"
#include "win32/unicode_text.hpp"

namespace gui {

using namespace std::placeholders;

namespace {

// The model's texts are UTF-8; here, at the control, they become the control's UTF-16 (or,
// for an ANSI question, the ANSI code page, "?" for what it lacks).
std::wstring wide(const char* text, int length, UINT code_page) {
  if (length <= 0) return std::wstring();
  // Never more wide characters than bytes.
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  const int got = MultiByteToWideChar(code_page, 0, text, length, &out[0], length);
  out.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return out;
}


std::wstring wide_of_ansi(const char* text) {
  return text ? wide(text, static_cast<int>(std::char_traits<char>::length(text)), CP_ACP) : std::wstring();
}

// As much of `text` as the caller's buffer holds, always ended, never half a surrogate pair.
void put_text(const std::wstring& text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(capacity) - 1);
  if (n > 0 && n < text.size() && IS_HIGH_SURROGATE(text[n - 1])) --n;
  std::copy_n(text.data(), n, buffer);
  buffer[n] = L'\0';
}

void put_text(const std::wstring& text, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  std::string ansi;
  if (!text.empty()) {
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, &ansi[0], n, nullptr, nullptr);
  }
  const std::size_t n = std::min(ansi.size(), static_cast<std::size_t>(capacity) - 1);
  std::copy_n(ansi.data(), n, buffer);
  buffer[n] = '\0';
}

}  // namespace

list_view_ex::list_view_ex() {
  ensure_common_controls();
  selected.get = std::bind(&list_view_ex::get_selection, this);
  selected.set = std::bind(&list_view_ex::select, this, _1);

  // A new window shows its columns first, then every row already in the model.
  events.on_create.add([this] {
    // The control asked its container for the form of its notifications while it was being
    // made, before the container knew it; now it asks again and is answered Unicode.
    if (parent) SendMessageA(hwnd, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(parent->hwnd), NF_REQUERY);
    add_native_columns();
    const LPARAM ex = SendMessageA(hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageA(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex | LVS_EX_FULLROWSELECT);
    refill();
  });
  // A signal calls a copy of each handler; one that holds no more than `this` copies free.
  rows.inserted.add([this](int index, const row& r) { insert_item(index, r); });
  rows.appended.add(std::bind(&list_view_ex::insert_items, this, _1, _2));
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
  m.result = previous_proc(m) | DLGC_WANTMESSAGE;
  m.handled = true;
}

// WM_SETFOCUS: a list reached with the keyboard and no focused row (rows filled or selected
// from code) shows the focus at the selected row, else at the first, and the arrows and Enter
// start there. Focusing selects nothing, and leaves no selection mark where there was none
// (the list would otherwise put one on the first focused row).
void list_view_ex::focus_a_row() {
  if (view.size() == 0 || SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) >= 0)
    return;
  const int mark = mark_position();
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

void list_view_ex::rescale(int from_dpi, int to_dpi) {
  wnd_base<event::list>::rescale(from_dpi, to_dpi);
  for (int i = column_count() - 1; i >= 0; --i) {
    const int width = static_cast<int>(SendMessageA(hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    SendMessageA(hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(scale(width, to_dpi, from_dpi), 0));
  }
}

int list_view_ex::column_count() {
  HWND header = reinterpret_cast<HWND>(SendMessageA(hwnd, LVM_GETHEADER, 0, 0));
  return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

// A column's width is pixels at 96 DPI.
void list_view_ex::add_native_columns() {
  const int dpi = dpi_of(hwnd);
  for (const lv_column& c : columns) {
    LVCOLUMNA col = {};
    col.mask = LVCF_WIDTH | LVCF_TEXT;
    col.cx = scale(c.width, dpi);
    col.pszText = const_cast<char*>(c.title.c_str());
    SendMessageA(hwnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column_count()),
                 reinterpret_cast<LPARAM>(&col));
  }
}

// -- the count and the repainting --

void list_view_ex::set_item_count(int count) {
  // Only the rows between the old and the new count are repainted, and the view stays where
  // the user left it.
  SendMessageA(hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(count),
               LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

list_view_ex::row_range list_view_ex::visible_rows() {
  if (!hwnd) return row_range{0, 0};
  const int top = static_cast<int>(SendMessageA(hwnd, LVM_GETTOPINDEX, 0, 0));
  // The count of whole rows; one more may show in part at the bottom.
  const int page = static_cast<int>(SendMessageA(hwnd, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
  const int count = static_cast<int>(view.size());
  return row_range{std::min(std::max(top, 0), count), std::min(std::max(top, 0) + page, count)};
}

void list_view_ex::repaint_rows(int first, int last) {
  const row_range shown = visible_rows();
  first = std::max(first, shown.first);
  last = std::min(last, shown.end - 1);
  if (first <= last)
    SendMessageA(hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
}

void list_view_ex::insert_item(int /*index*/, const row& /*r*/) { join_rows(); }

void list_view_ex::insert_items(int /*first*/, int /*count*/) { join_rows(); }

void list_view_ex::join_rows() {
  if (!view.sorted() && !view.narrowed()) {
    // Rows join at the end, where nothing moves.
    view.join(rows.size());
    set_item_count(static_cast<int>(rows.size()));
    return;
  }
  const kept_states before = keep_states();
  const int top = hwnd ? static_cast<int>(SendMessageA(hwnd, LVM_GETTOPINDEX, 0, 0)) : 0;
  const std::vector<std::size_t>& joined = view.join(rows.size());
  if (joined.empty()) return;
  drop_states(before);
  set_item_count(static_cast<int>(view.size()));
  const auto follow = [&joined](long p) { return p < 0 ? p : static_cast<long>(moved(static_cast<std::size_t>(p), joined)); };
  kept_states after;
  for (long p : before.selected) after.selected.push_back(follow(p));
  after.focused = follow(before.focused);
  after.mark = follow(before.mark);
  put_states(after);
  // Scrolled down, the rows on screen stay there as rows join above them; at the top, the
  // list shows its beginning.
  if (top > 0) scroll_rows(static_cast<int>(follow(top) - top));
  repaint_rows(static_cast<int>(joined.front()), static_cast<int>(view.size()) - 1);
}

void list_view_ex::update(int index, std::string key, any /*old_value*/, any /*new_value*/) {
  // A key no column shows, or a row that is not there, has no cell to repaint.
  if (index_of_key(columns, key) < 0 || index < 0 || static_cast<std::size_t>(index) >= rows.size())
    return;
  const row_range shown = visible_rows();
  for (int p = shown.first; p < shown.end; ++p)
    if (row_at(p) == index) repaint_rows(p, p);
}

void list_view_ex::remove_item(int index) {
  if (view.sorted() || view.narrowed()) {
    change_view([this] { view.reset(rows.size()); });
    return;
  }
  view.reset(rows.size());
  // The control moves the selection and the rows below up itself.
  SendMessageA(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void list_view_ex::remove_all() {
  view.clear();
  sorted_column = -1;
  show_sort_arrows();
  SendMessageA(hwnd, LVM_DELETEALLITEMS, 0, 0);
}

void list_view_ex::refill() {
  redraw_pause pause(*this);
  SendMessageA(hwnd, LVM_DELETEALLITEMS, 0, 0);
  view.reset(rows.size());
  set_item_count(static_cast<int>(view.size()));
}

// -- the view --

void list_view_ex::sort_by(int column, bool descending) {
  const bool sorts = column >= 0 && static_cast<std::size_t>(column) < columns.size() &&
                     columns[static_cast<std::size_t>(column)].sort_key;
  if (!sorts) {
    sorted_column = -1;
    change_view([this] { view.unsort(); });
  } else {
    sorted_column = column;
    const lv_column::sort_key_t key = columns[static_cast<std::size_t>(column)].sort_key;
    change_view([this, key, descending] {
      view.sort([this, key](std::size_t r, std::string& k) { key(rows[r], k); }, descending);
    });
  }
  show_sort_arrows();
}

void list_view_ex::narrow(std::function<bool(const row&)> match, bool within) {
  if (!match) {
    if (view.narrowed()) change_view([this] { view.widen(); });
    return;
  }
  change_view([this, &match, within] {
    view.narrow([this, match](std::size_t r) { return match(rows[r]); }, within);
  });
}

void list_view_ex::change_view(const std::function<void()>& change) {
  const kept_states before = keep_states();
  drop_states(before);
  // The same rows, wherever they show now.
  std::vector<std::size_t> kept_rows;
  const auto row_of = [this, &kept_rows](long p) {
    if (p >= 0 && static_cast<std::size_t>(p) < view.size()) kept_rows.push_back(view.row_at(static_cast<std::size_t>(p)));
    else kept_rows.push_back(rows.size());  // none: no row shows there
  };
  for (long p : before.selected) row_of(p);
  row_of(before.focused);
  row_of(before.mark);
  change();
  const std::vector<long> at = view.positions_of(kept_rows);
  kept_states after;
  after.selected.assign(at.begin(), at.end() - 2);
  after.focused = at[at.size() - 2];
  after.mark = at.back();
  // Any row may show at any place now: every one on screen is painted again.
  SendMessageA(hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(view.size()), 0);
  put_states(after);
  InvalidateRect(hwnd, nullptr, TRUE);
  SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(after.mark >= 0 ? after.mark : 0), FALSE);
}

void list_view_ex::show_sort_arrows() {
  if (!hwnd) return;
  HWND header = reinterpret_cast<HWND>(SendMessageA(hwnd, LVM_GETHEADER, 0, 0));
  for (int i = column_count() - 1; i >= 0; --i) {
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == sorted_column) item.fmt |= view.descending() ? HDF_SORTDOWN : HDF_SORTUP;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
}

// The control scrolls by pixels, which it rounds to whole rows; all rows are as high as the first.
void list_view_ex::scroll_rows(int count) {
  if (count == 0) return;
  RECT r = {};
  r.left = LVIR_BOUNDS;
  if (!SendMessageA(hwnd, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r))) return;
  SendMessageA(hwnd, LVM_SCROLL, 0, static_cast<LPARAM>(count) * (r.bottom - r.top));
}

// -- selection --

// The control keeps the states by position. Finding the selected ones means asking item by
// item, so the usual case, at most the mark selected, is answered without.
list_view_ex::kept_states list_view_ex::keep_states() {
  kept_states k;
  if (!hwnd) return k;
  k.mark = mark_position();
  k.focused = static_cast<long>(SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  const long count = static_cast<long>(SendMessageA(hwnd, LVM_GETSELECTEDCOUNT, 0, 0));
  if (count == 1 && k.mark >= 0 &&
      SendMessageA(hwnd, LVM_GETITEMSTATE, static_cast<WPARAM>(k.mark), LVIS_SELECTED) & LVIS_SELECTED) {
    k.selected.push_back(k.mark);
    return k;
  }
  for (long i = -1; count > 0 && (i = static_cast<long>(SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(i),
                                                                     LVNI_SELECTED))) >= 0;)
    k.selected.push_back(i);
  return k;
}

void list_view_ex::drop_states(const kept_states& k) {
  for (long p : k.selected) set_state(static_cast<int>(p), 0, LVIS_SELECTED);
  if (k.focused >= 0) set_state(static_cast<int>(k.focused), 0, LVIS_FOCUSED);
}

void list_view_ex::put_states(const kept_states& k) {
  for (long p : k.selected)
    if (p >= 0) set_state(static_cast<int>(p), LVIS_SELECTED, LVIS_SELECTED);
  if (k.focused >= 0) set_state(static_cast<int>(k.focused), LVIS_FOCUSED, LVIS_FOCUSED);
  SendMessageA(hwnd, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(k.mark));
}

int list_view_ex::mark_position() {
  const int mark = static_cast<int>(SendMessageA(hwnd, LVM_GETSELECTIONMARK, 0, 0));
  return mark >= 0 && static_cast<std::size_t>(mark) < view.size() ? mark : -1;
}

long list_view_ex::position_of(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return -1;
  return view.positions_of({static_cast<std::size_t>(row)}).front();
}

int list_view_ex::get_selection() {
  const int mark = mark_position();
  return mark >= 0 ? row_at(mark) : -1;
}

void list_view_ex::select(int index) {
  const long p = position_of(index);
  if (p < 0) return;
  SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(p), FALSE);
  set_state(static_cast<int>(p), LVIS_SELECTED, LVIS_SELECTED);
  // Setting the state alone leaves the mark where it was (-1 in a fresh list), and the mark
  // is what `selected` reads back.
  SendMessageA(hwnd, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(p));
}

// -- the control's questions --

std::string list_view_ex::cell_text(int item, int sub_item) {
  if (item < 0 || static_cast<std::size_t>(item) >= view.size() || sub_item < 0 ||
      static_cast<std::size_t>(sub_item) >= columns.size())
    return std::string();
  const lv_column& c = columns[static_cast<std::size_t>(sub_item)];
  return c.formatter(rows[view.row_at(static_cast<std::size_t>(item))], c.key);
}

int list_view_ex::find_row(UINT flags, const std::wstring& text, int start) {
  // Rows carry no item data and have no positions: only searches by text can match.
  if (!(flags & (LVFI_STRING | LVFI_PARTIAL))) return -1;
  const bool partial = (flags & LVFI_PARTIAL) != 0;
  const int count = static_cast<int>(view.size());
  if (start < 0 || start >= count) start = 0;
  const int length = static_cast<int>(text.size());
  for (int i = start, end = (flags & LVFI_WRAP) ? start + count : count; i < end; ++i) {
    const std::wstring cell = win32::utf16(cell_text(i % count, 0));
    // A partial search compares the text with as much of the cell's start.
    const int compared = static_cast<int>(partial ? std::min(text.size(), cell.size()) : cell.size());
    if (partial && compared < length) continue;
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, cell.data(), compared, text.data(),
                       length) == CSTR_EQUAL)
      return i % count;
  }
  return -1;
}

bool list_view_ex::answer_notification(wnd_msg& m, int code) {
  const auto answer_text = [this](auto& item) {
    if (!(item.mask & LVIF_TEXT)) return;
    put_text(std::wstring(), item.pszText, item.cchTextMax);  // nothing stale, should a formatter fail
    put_text(win32::utf16(cell_text(item.iItem, item.iSubItem)), item.pszText, item.cchTextMax);
  };
  switch (static_cast<UINT>(code)) {
    case LVN_GETDISPINFOA:
      answer_text(reinterpret_cast<NMLVDISPINFOA*>(m.lparam)->item);
      return true;
    case LVN_GETDISPINFOW:
      answer_text(reinterpret_cast<NMLVDISPINFOW*>(m.lparam)->item);
      return true;
    case LVN_ODFINDITEMA: {
      const NMLVFINDITEMA& find = *reinterpret_cast<const NMLVFINDITEMA*>(m.lparam);
      m.result = find_row(find.lvfi.flags, wide_of_ansi(find.lvfi.psz), find.iStart);
      return true;
    }
    case LVN_COLUMNCLICK: {
      // The first click sorts one way, the next on the same header the other.
      const int column = reinterpret_cast<const NMLISTVIEW*>(m.lparam)->iSubItem;
      if (column >= 0 && static_cast<std::size_t>(column) < columns.size() &&
          columns[static_cast<std::size_t>(column)].sort_key)
        sort_by(column, column == sorted_column && !view.descending());
      return true;
    }
    case LVN_ODFINDITEMW: {
      const NMLVFINDITEMW& find = *reinterpret_cast<const NMLVFINDITEMW*>(m.lparam);
      m.result = find_row(find.lvfi.flags, find.lvfi.psz ? find.lvfi.psz : L"", find.iStart);
      return true;
    }
    default:
      return false;
  }
}

gui::rect list_view_ex::row_rect(int index) {
  const long p = position_of(index);
  RECT r = {};
  r.left = LVIR_BOUNDS;
  if (p < 0) return gui::rect{0, 0, 0, 0};
  SendMessageA(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(p), FALSE);
  if (!SendMessageA(hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(p), reinterpret_cast<LPARAM>(&r)))
    return gui::rect{0, 0, 0, 0};
  return gui::rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::shared_ptr<list_view_ex> make_list_view_ex() {
  std::shared_ptr<list_view_ex> w(new list_view_ex);
  w->set_init(new initor::list_view_ex);
  return w;
}

}  // namespace gui
