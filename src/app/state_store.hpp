#pragma once
// The state file "gui_state" in the current directory: the marks, the last list, the
// selected entry, the filters, the window's place and the list's sort, read at start and
// written when the window closes, when the session ends and as marks change.

#include <string>

#include "gui/base/wnd_msg.hpp"

// The process's current directory, however long.
std::string current_directory();
// The current directory, "/" and "gui_state"; computed anew at every load and save.
std::string state_file_path();

// Writes the file beside it first, flushed to the disk, and then moves it over the old one,
// so that a failure while writing, or a power cut, leaves the previous file whole. A file
// that cannot be written is skipped. When the window closes and when the session ends.
void save_gui_state(gui::wnd_msg& message);
// A mark was set or cleared: the state is saved at once, or, within a second of the last
// such save, when that second is over (`on_save_timer`, on the main window's `on_timer`).
// So a mark is on disk a second after it was made at the latest, and a run of marks costs
// one save a second.
void save_gui_state_soon();
void on_save_timer(int id);

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
