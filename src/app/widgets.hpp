#pragma once
// The application's process-wide objects. They are made during static initialisation in the
// order declared here, native windows only later by `build_main_window`.

#include <map>
#include <memory>
#include <string>

#include "app/refresh_state.hpp"
#include "gui/widget/button.hpp"
#include "gui/widget/combo_ex.hpp"
#include "gui/widget/edit.hpp"
#include "gui/widget/label.hpp"
#include "gui/widget/list_view_ex.hpp"
#include "gui/widget/popup_menu.hpp"
#include "gui/widget/progress.hpp"
#include "gui/widget/window.hpp"

extern std::shared_ptr<gui::label> title_label;
extern std::shared_ptr<gui::label> difficulty_label;
extern std::shared_ptr<gui::label> platform_label;
extern std::shared_ptr<gui::label> language_label;
extern std::shared_ptr<gui::label> type_label;
extern std::shared_ptr<gui::label> sort_label;
extern std::shared_ptr<gui::edit> title_edit;
extern std::shared_ptr<gui::combo_ex> difficulty_combo;
extern std::shared_ptr<gui::combo_ex> platform_combo;
extern std::shared_ptr<gui::combo_ex> language_combo;
extern std::shared_ptr<gui::combo_ex> type_combo;
extern std::shared_ptr<gui::combo_ex> sort_combo;
extern std::shared_ptr<gui::progress> progress_bar;
// What the last refresh did, below the progress bar; its text is UTF-8.
extern std::shared_ptr<gui::label> status_label;
extern std::shared_ptr<gui::button> refresh_button;
// Narrows the list to the names that hold its text, in any script: a box of UTF-16 texts.
extern std::shared_ptr<gui::label> find_label;
extern std::shared_ptr<gui::edit> find_edit;
extern std::shared_ptr<gui::list_view_ex> entry_list;
extern std::shared_ptr<gui::window> main_window;
extern gui::popup_menu mark_menu;
// Entries marked as cracked, by url; a url is marked when it is a key.
extern std::map<std::string, bool> cracked_urls;
extern refresh_state refresh_controller;
