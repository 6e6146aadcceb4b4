#include "app/main_window.hpp"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "app/about.hpp"
#include "app/command_line.hpp"
#include "app/state_store.hpp"
#include "app/status_text.hpp"
#include "app/widgets.hpp"
#include "gui/layout/eva.hpp"
#include "gui/widget/mvc/column_model.hpp"
#include "site/browse_url.hpp"
#include "site/vocabularies.hpp"
#include "win32/text_compare.hpp"

namespace {

// The row's url, or nothing for a row without one (a damaged state file's).
std::optional<std::string> url_of(const row& r) {
  const auto url = r.find("url");
  if (url == r.end() || !url->second.isA<std::string>()) return std::nullopt;
  return url->second.as<std::string>();
}

// A text field of the row where the row keeps it; empty for a field that is not a text.
std::string_view text_of(const row& r, std::string_view key) {
  const auto field = r.find(key);
  return field != r.end() && field->second.isA<std::string>() ? field->second.text() : std::string_view();
}

bool flag_of(const row& r, std::string_view key) {
  const auto field = r.find(key);
  return field != r.end() && field->second.isA<bool>() && field->second.as<bool>();
}

bool marked(const row& r) {
  const std::optional<std::string> url = url_of(r);
  return url && cracked_urls.count(*url);
}

// -- the columns' orders --

// Names as Explorer orders file names.
void name_order(const row& r, std::string& key) { win32::append_sort_key(text_of(r, "name"), key); }
// "3 - Getting harder" by its 3.
void difficulty_order(const row& r, std::string& key) { gui::append_number_key(text_of(r, "difficulty"), key); }
// Marked entries first.
void solved_order(const row& r, std::string& key) { gui::append_flag_key(flag_of(r, "solved"), key); }
void done_order(const row& r, std::string& key) { gui::append_flag_key(marked(r), key); }

// The url of the list's selected row, or nothing when no row is selected.
std::optional<std::string> selected_url(int& index) {
  index = entry_list->selected.get();
  if (index < 0 || static_cast<std::size_t>(index) >= entry_list->rows.size()) return std::nullopt;
  return url_of(entry_list->rows[static_cast<std::size_t>(index)]);
}

// Three lines of the label's font, so that a long reason wraps and still shows whole.
constexpr int status_height = 52;

// The labels' column and the inputs' column are as wide as their widest window ('d'), which
// `fit_texts` makes as wide as its text needs. The button, the bar and the status line stand
// in the gap between them and reach over both, so that they do not count there. The Find box
// stands above the list, beside the title.
gui::layout::eva* main_layout() {
  using gui::layout::eva;
  const char e = ' ', h = '-', v = '|', d = 'd';
  auto* l = new eva(10, 8);
  l->margins = gui::layout::margins(10, 10, 10, 10);
  // The list starts in a column of its own, no wide, so that the Find label's column is as
  // wide as the label alone.
  *l << d << 10 << d << 10 << 0 << d << 10 << 'x'
     << 24 << title_label << e << title_edit << e << e << find_label << e << find_edit
     << 24 << difficulty_label << e << difficulty_combo << e << entry_list << h << h << h
     << 24 << platform_label << e << platform_combo << e << v << e << e << e
     << 24 << language_label << e << language_combo << e << v << e << e << e
     << 24 << type_label << e << type_combo << e << v << e << e << e
     << 24 << sort_label << e << sort_combo << e << v << e << e << e
     << d << h << refresh_button << h << e << v << e << e << e
     << 10 << h << progress_bar << h << e << v << e << e << e
     << status_height << h << status_label << h << e << v << e << e << e
     << 'x' << e << e << e << e << v << e << e << e;
  return l;
}

std::vector<gui::combo_ex*> filter_combos() {
  return {difficulty_combo.get(), platform_combo.get(), language_combo.get(), type_combo.get(),
          sort_combo.get()};
}

void set_width(gui::wnd32& w, int width) {
  gui::rect r = w.rect.get();
  r.width = width;
  w.rect.set(r);
}

// Before each layout at a DPI: every label as wide as its text and every filter box as its
// longest choice, in the font of that DPI. The title box needs nothing of its own: it takes
// the boxes' width.
void fit_texts(int /*dpi*/) {
  for (gui::label* l : {title_label.get(), difficulty_label.get(), platform_label.get(), language_label.get(),
                        type_label.get(), sort_label.get(), find_label.get()})
    set_width(*l, l->fitting_width());
  for (gui::combo_ex* box : filter_combos()) set_width(*box, box->fitting_width());
  set_width(*title_edit, 0);
}

// Commands without a control: F5, Ctrl+F, and Esc through the dialog keys (IDCANCEL).
constexpr WORD refresh_key = 100;
constexpr WORD find_key = 101;

bool loading() { return refresh_controller.action == &refresh_state::cancel; }

// -- the Find box --

// The text the list is narrowed by now, for the next one to look only among the rows it
// left; none while the list shows every row.
std::shared_ptr<win32::text_finder> finding;

// The list shows the entries whose name holds the Find box's text; the status line counts
// them while no refresh runs (a running one says how far it got, and counts them at its end).
void on_find_change() {
  auto finder = std::make_shared<win32::text_finder>(find_edit->text.get());
  if (finder->empty()) {
    entry_list->narrow(nullptr, false);
    finder.reset();
  } else {
    const bool within = finding && finder->within(*finding);
    entry_list->narrow([finder](const row& r) { return finder->found_in(text_of(r, "name")); }, within);
  }
  finding = finder;
  if (!loading()) status_label->text.set(refresh_controller.idle_status());
}

// Ctrl+F: the caret in the Find box, its text selected to be typed over.
void go_to_find() {
  SetFocus(find_edit->hwnd);
  SendMessageA(find_edit->hwnd, EM_SETSEL, 0, -1);
}

// F5 starts a refresh and never cancels one. Esc in a Find box that holds a text clears it;
// anywhere else it only cancels.
void on_window_command(int id) {
  if (id == refresh_key && !loading()) refresh_controller.fire();
  if (id == find_key) go_to_find();
  if (id != IDCANCEL) return;
  if (GetFocus() == find_edit->hwnd && !find_edit->text.get().empty()) find_edit->text.set("");
  else if (loading()) refresh_controller.fire();
}

}  // namespace

void build_main_window() {
  begin_loading_gui_state();
  refresh_button->events.on_click.add(std::bind(&refresh_state::fire, &refresh_controller));

  entry_list->columns.push_back(gui::lv_column("Name", "name", 155, format_text, name_order));
  entry_list->columns.push_back(gui::lv_column("Difficulty", "difficulty", 165, format_text, difficulty_order));
  entry_list->columns.push_back(gui::lv_column("Solved", "solved", 65, format_solved, solved_order));
  entry_list->columns.push_back(gui::lv_column("Done", "done", 60, format_done, done_order));
  entry_list->events.on_double_click.add(open_selected);
  entry_list->events.on_return.add(open_selected);
  entry_list->events.on_context_menu.add(show_mark_menu);
  find_edit->events.on_change.add(on_find_change);
  // Enter in the Find box asks the archive nothing: it leads to what was found.
  find_edit->events.on_return.add([] { SetFocus(entry_list->hwnd); });

  gui::layout::eva* layout = main_layout();
  auto* rec = new gui::initor::window;
  // Hidden until the state file has placed it; dialog keys for its controls. Wide enough for
  // the filters' longest choices and the list's columns beside them.
  rec->text(options_in_use.archive.host).size(850, 300).resizable(true).layout(layout).visible(false);
  rec->ex_style(WS_EX_CONTROLPARENT);
  main_window->set_init(rec);

  main_window->add(title_label, title_edit, difficulty_label, difficulty_combo, platform_label,
                   platform_combo, language_label, language_combo, type_label, type_combo,
                   sort_label, sort_combo, progress_bar, status_label, refresh_button, find_label, find_edit,
                   entry_list);
  main_window->set_default_button(refresh_button);
  main_window->add_accelerator(0, VK_F5, refresh_key);
  main_window->add_accelerator(FCONTROL, 'F', find_key);
  main_window->on_command.add(on_window_command);
  main_window->on_dpi.add(fit_texts);
  // Filled before the window exists, so that its first layout measures every choice.
  const std::vector<row> vocabularies[] = {difficulty_items(), platform_items(), language_items(), type_items(),
                                           sort_items()};
  const std::vector<gui::combo_ex*> boxes = filter_combos();
  for (std::size_t i = 0; i < boxes.size(); ++i)
    for (const row& item : vocabularies[i]) boxes[i]->items.push_back(item);
  main_window->create();
  add_about(*main_window);

  mark_menu.add_item("mark as cracked", 1);
  mark_menu.add_item("mark as uncracked", 2);
  mark_menu.on_command = on_mark;

  // The first choices selected, so that a first start (or a state file that selects nothing
  // valid) still queries with the site's defaults.
  for (gui::combo_ex* box : boxes) box->selected.set(0);

  load_gui_state();
  if (!main_window->visible.get()) main_window->visible.set(true);
  status_label->text.set(restored_status(entry_list->rows.size()));
  main_window->events.on_close.add(save_gui_state);
  main_window->on_end_session.add(save_gui_state);
  main_window->on_timer.add(on_save_timer);
}

void on_mark(int id) {
  if (id != 1 && id != 2) return;
  int index;
  const std::optional<std::string> url = selected_url(index);
  if (!url) return;
  if (id == 1) cracked_urls[*url] = true;
  else cracked_urls.erase(*url);
  // The mark belongs to the url: every row on screen showing that entry changes with it.
  const gui::list_view_ex::row_range shown = entry_list->visible_rows();
  for (int i = shown.first; i < shown.end; ++i) {
    const int r = entry_list->row_at(i);
    if (url_of(entry_list->rows[static_cast<std::size_t>(r)]) == url) entry_list->update(r, "done", any(0), any(0));
  }
  // The count of entries done, while it shows.
  if (entry_list->narrowed() && !loading()) status_label->text.set(refresh_controller.idle_status());
  // The user's own work: on disk at once, not only when the window closes.
  save_gui_state_soon();
}

std::string format_done(row r, std::string /*key*/) { return marked(r) ? "Yes" : ""; }

std::string format_solved(row r, std::string key) { return flag_of(r, key) ? "Yes" : ""; }

// Rows may come from a damaged state file; a field that is not a text shows as nothing.
std::string format_text(row r, std::string key) { return std::string(text_of(r, key)); }

void open_selected() {
  int index;
  const std::optional<std::string> url = selected_url(index);
  if (!url) return;
  const std::string base = options_in_use.archive.base_url();
  if (const std::optional<std::string> address = archive_page_address(base, *url))
    ShellExecuteA(nullptr, "open", address->c_str(), nullptr, nullptr, SW_SHOW);
}

void show_mark_menu(gui::pos where) {
  int index;
  const std::optional<std::string> url = selected_url(index);
  const bool cracked = url && cracked_urls.count(*url);
  mark_menu.check(1, url && cracked);
  mark_menu.check(2, url && !cracked);
  // The keyboard's menu (the context-menu key, Shift+F10) arrives at (65535, 65535): it opens
  // below the selected row, and without one not at all.
  if (where.x != 65535 || where.y != 65535) {
    mark_menu.show_at_cursor();
    return;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= entry_list->rows.size()) return;
  const gui::rect row = entry_list->row_rect(index);
  POINT below = {row.x + row.height, row.y + row.height};
  ClientToScreen(entry_list->hwnd, &below);
  mark_menu.show(below.x, below.y);
}
