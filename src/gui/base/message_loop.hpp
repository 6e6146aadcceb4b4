#pragma once
// The window thread's message loop.

namespace gui {

// Returns when GetMessageA returns 0 (WM_QUIT). No accelerators, no dialog navigation.
void run_message_loop();

}  // namespace gui
