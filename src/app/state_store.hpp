#pragma once
// The state file "gui_state" in the current directory: the marks, the last list, the
// selected entry, the filters, the window's place and the list's sort, written at close and
// read at start.

#include <string>

#include "gui/base/wnd_msg.hpp"

// The process's current directory, however long.
std::string current_directory();
// The current directory, "/" and "gui_state"; computed anew at every load and save.
std::string state_file_path();

// Writes the file beside it first and then moves it over the old one, so that a failure
// while writing leaves the previous file whole. A file that cannot be written is skipped.
void save_gui_state(gui::wnd_msg& close_message);

// Restores whatever a readable prefix of the file holds: marks, whole rows, the list's sort
// (by a column it has), the selected row, the title and the four filters, each only when it
// was read whole and fits; and shows
// the main window at its stored place when that is whole, plausible and on a monitor (the
// window is otherwise left as it was, for its default place).
void load_gui_state();
// Starts reading the file on another thread, so that the window is built meanwhile: a large
// list takes as long to read as the window to make. `load_gui_state` then takes that read
// instead of reading the file itself.
void begin_loading_gui_state();
