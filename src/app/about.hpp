#pragma once
// What the program says about itself on its main window: its icon (title bar, task bar,
// Alt+Tab) and "About Vexlets..." in the window's system menu (Alt+Space), whose message box
// names the program, its version, the archive in use and the licence.

#include <string>

#include "gui/widget/window.hpp"

// The About box's text.
std::string about_text();

// Gives the created window the program's icon, at its DPI and again whenever that changes,
// and the About entry.
void add_about(gui::window& w);
