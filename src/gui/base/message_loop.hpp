#pragma once
// The window thread's message loop. Before a message is translated and dispatched it passes
// the keyboard steps a user of a window with controls expects:
//   1. message filters, which may take it (a window's accelerator keys);
//   2. the context-menu key, handed to the focused window as WM_CONTEXTMENU;
//   3. dialog navigation (IsDialogMessageW) for top-level windows with WS_EX_CONTROLPARENT:
//      Tab and Shift+Tab through their WS_TABSTOP controls, Enter to the default button
//      (DM_GETDEFID), Esc as the command IDCANCEL.

#include <windows.h>

#include <functional>

namespace gui {

// Sees a message before anything else does; returning true takes it.
using message_filter = std::function<bool(MSG&)>;

// Window thread only. The id is for `remove_message_filter`.
int add_message_filter(message_filter filter);
void remove_message_filter(int id);

// Returns when GetMessageW returns 0 (WM_QUIT).
void run_message_loop();

}  // namespace gui
