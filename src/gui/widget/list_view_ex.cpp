#include "gui/widget/list_view_ex.hpp"

#include <algorithm>
#include <functional>

#include "gui/base/dpi.hpp"
#include "gui/widget/common_controls.hpp"

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

std::wstring wide(const std::string& utf8) { return wide(utf8.data(), static_cast<int>(utf8.size()), CP_UTF8); }

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
  const int count = static_cast<int>(rows.size());
  return row_range{std::min(std::max(top, 0), count), std::min(std::max(top, 0) + page, count)};
}

void list_view_ex::repaint_rows(int first, int last) {
  const row_range shown = visible_rows();
  first = std::max(first, shown.first);
  last = std::min(last, shown.end - 1);
  if (first <= last)
    SendMessageA(hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
}

void list_view_ex::insert_item(int index, const row& /*r*/) {
  const int count = static_cast<int>(rows.size());
  set_item_count(count);
  // Anywhere but at the end, the rows below it moved down by one.
  if (index < count - 1) repaint_rows(index, count - 1);
}

void list_view_ex::update(int index, std::string key, any /*old_value*/, any /*new_value*/) {
  // A key no column shows, or a row that is not there, has no cell to repaint.
  if (index_of_key(columns, key) < 0 || index < 0 || static_cast<std::size_t>(index) >= rows.size())
    return;
  repaint_rows(index, index);
}

void list_view_ex::remove_item(int index) {
  // The control moves the selection and the rows below up itself.
  SendMessageA(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void list_view_ex::remove_all() { SendMessageA(hwnd, LVM_DELETEALLITEMS, 0, 0); }

void list_view_ex::refill() {
  redraw_pause pause(*this);
  remove_all();
  set_item_count(static_cast<int>(rows.size()));
}

// -- selection --

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

// -- the control's questions --

std::string list_view_ex::cell_text(int item, int sub_item) {
  if (item < 0 || static_cast<std::size_t>(item) >= rows.size() || sub_item < 0 ||
      static_cast<std::size_t>(sub_item) >= columns.size())
    return std::string();
  const lv_column& c = columns[static_cast<std::size_t>(sub_item)];
  return c.formatter(rows[static_cast<std::size_t>(item)], c.key);
}

int list_view_ex::find_row(UINT flags, const std::wstring& text, int start) {
  // Rows carry no item data and have no positions: only searches by text can match.
  if (!(flags & (LVFI_STRING | LVFI_PARTIAL))) return -1;
  const bool partial = (flags & LVFI_PARTIAL) != 0;
  const int count = static_cast<int>(rows.size());
  if (start < 0 || start >= count) start = 0;
  const int length = static_cast<int>(text.size());
  for (int i = start, end = (flags & LVFI_WRAP) ? start + count : count; i < end; ++i) {
    const std::wstring cell = wide(cell_text(i % count, 0));
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
    put_text(wide(cell_text(item.iItem, item.iSubItem)), item.pszText, item.cchTextMax);
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
