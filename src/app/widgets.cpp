#include "app/widgets.hpp"

#include <windows.h>

namespace {
// Right-aligned beside their inputs, vertically centred.
constexpr long label_style = SS_RIGHT | SS_CENTERIMAGE;

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
std::shared_ptr<gui::edit> title_edit = gui::make_edit();
std::shared_ptr<gui::combo_ex> difficulty_combo = gui::make_combo_ex();
std::shared_ptr<gui::combo_ex> platform_combo = gui::make_combo_ex();
std::shared_ptr<gui::combo_ex> language_combo = gui::make_combo_ex();
std::shared_ptr<gui::combo_ex> type_combo = gui::make_combo_ex();
std::shared_ptr<gui::combo_ex> sort_combo = gui::make_combo_ex();
std::shared_ptr<gui::progress> progress_bar = gui::make_progress(hidden_progress());
std::shared_ptr<gui::button> refresh_button = gui::make_button("Refresh");
std::shared_ptr<gui::list_view_ex> entry_list = gui::make_list_view_ex();
std::shared_ptr<gui::window> main_window = gui::make_window();
gui::popup_menu mark_menu;
std::map<std::string, bool> cracked_urls;
refresh_state refresh_controller;
