#include "app/widgets.hpp"

#include <windows.h>

namespace {
// Right-aligned beside their inputs, vertically centred.
constexpr long label_style = SS_RIGHT | SS_CENTERIMAGE;

// Tab and Shift+Tab stop at the inputs, Refresh and the list, in the order the main window
// creates them.
template <typename W>
std::shared_ptr<W> tab_stop(std::shared_ptr<W> w) {
  w->init->add_style(WS_TABSTOP);
  return w;
}

// Texts in any script: what the user types in the Find box, the status line's words.
template <typename W>
std::shared_ptr<W> unicode(std::shared_ptr<W> w) {
  w->init->unicode(true);
  return w;
}

gui::initor::progress* hidden_progress() {
  auto* rec = new gui::initor::progress;
  rec->size(100, 10).visible(false);
  return rec;
}
}  // namespace

std::shared_ptr<gui::label> title_label = gui::make_label("Title", label_style);
std::shared_ptr<gui::label> difficulty_label = gui::make_label("Difficulty", label_style);
std::shared_ptr<gui::label> platform_label = gui::make_label("Platform", label_style);
std::shared_ptr<gui::label> language_label = gui::make_label("Language", label_style);
std::shared_ptr<gui::label> type_label = gui::make_label("Type", label_style);
std::shared_ptr<gui::label> sort_label = gui::make_label("Sort", label_style);
std::shared_ptr<gui::edit> title_edit = tab_stop(gui::make_edit());
std::shared_ptr<gui::combo_ex> difficulty_combo = tab_stop(gui::make_combo_ex());
std::shared_ptr<gui::combo_ex> platform_combo = tab_stop(gui::make_combo_ex());
std::shared_ptr<gui::combo_ex> language_combo = tab_stop(gui::make_combo_ex());
std::shared_ptr<gui::combo_ex> type_combo = tab_stop(gui::make_combo_ex());
std::shared_ptr<gui::combo_ex> sort_combo = tab_stop(gui::make_combo_ex());
std::shared_ptr<gui::progress> progress_bar = gui::make_progress(hidden_progress());
// Left-aligned, wrapped at word ends; "&" in a system's message is no mnemonic.
std::shared_ptr<gui::label> status_label = unicode(gui::make_label("", SS_LEFT | SS_NOPREFIX));
std::shared_ptr<gui::button> refresh_button = tab_stop(gui::make_button("Refresh"));
std::shared_ptr<gui::label> find_label = gui::make_label("Find", label_style);
std::shared_ptr<gui::edit> find_edit = tab_stop(unicode(gui::make_edit()));
std::shared_ptr<gui::list_view_ex> entry_list = tab_stop(gui::make_list_view_ex());
std::shared_ptr<gui::window> main_window = gui::make_window();
gui::popup_menu mark_menu;
std::map<std::string, bool> cracked_urls;
refresh_state refresh_controller;
