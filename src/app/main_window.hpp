#pragma once
// The main window: its widgets in the grid, the filter boxes filled, the popup menu for
// marking entries, and the handlers that tie them to the controller and the state file.

#include <string>

#include "any/row.hpp"
#include "gui/base/geometry.hpp"

void build_main_window();

// The popup menu's choice: 1 marks the selected entry as cracked, 2 as uncracked, 0 (the
// menu was dismissed) does nothing. Nothing happens without a selected row. The selected
// row is the entry the user sees selected, wherever the list's sort and Find text show it.
void on_mark(int id);
// The "Done" column: "Yes" for an entry whose url is marked.
std::string format_done(row r, std::string key);
// The "Solved" column: "Yes" for an entry the site says somebody solved.
std::string format_solved(row r, std::string key);
// The "Name" and "Difficulty" columns: the text as the page gave it (UTF-8, references
// decoded).
std::string format_text(row r, std::string key);
// Opens the selected entry's page on the site in the browser; a link that would lead off
// the site, or no selected row, opens nothing. A double-click and Enter on the list.
void open_selected();
// The mark menu, its items checked for the selected row's state: at the mouse cursor, or for
// the keyboard's (65535, 65535) below the selected row and only when there is one.
void show_mark_menu(gui::pos where);
