#pragma once
// The font controls are given, and how wide a text is in a window's font.

#include <windows.h>

#include <string>

namespace gui {

// A new font: the system's message font (the one dialogs use) at `dpi`. The caller deletes
// it with DeleteObject once no window uses it.
HFONT make_message_font(int dpi);

// The width in pixels of `text` drawn in `hwnd`'s font (WM_GETFONT; the system font for a
// window that has none).
int text_width(HWND hwnd, const std::string& text);

}  // namespace gui
