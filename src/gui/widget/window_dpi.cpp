// The top-level window's DPI: the children's font at the window's DPI, and what follows when
// Windows reports another.

#include "gui/widget/window.hpp"

#include "gui/base/dpi.hpp"
#include "gui/base/font.hpp"

namespace gui {

void window::children_created() { use_dpi(dpi_of(hwnd)); }

void window::use_dpi(int new_dpi) {
  const HFONT old = font;
  font = make_message_font(new_dpi);
  for (const auto& child : children)
    SendMessageA(child->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (old) DeleteObject(old);
  dpi = new_dpi;
  on_dpi.fire(dpi);
}

void window::on_dpi_changed(const wnd_msg& m) {
  // The vertical DPI, as the font's height follows it; Windows gives both the same.
  const int new_dpi = static_cast<int>(m.wparam_high());
  if (new_dpi <= 0) return;
  if (dpi > 0 && new_dpi != dpi)
    for (const auto& child : children) child->rescale(dpi, new_dpi);
  use_dpi(new_dpi);
  relayout();  // the suggested rectangle may be the same size: no WM_SIZE then
  const RECT* suggested = reinterpret_cast<const RECT*>(m.lparam);
  if (suggested)
    SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace gui
