#include "gui/base/font.hpp"

#include <cstddef>

#include "gui/base/dpi.hpp"

namespace gui {
namespace {

using parameters_for_dpi_fn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

}  // namespace

HFONT make_message_font(int dpi) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto for_dpi = user32 ? reinterpret_cast<parameters_for_dpi_fn>(reinterpret_cast<void*>(
                                    GetProcAddress(user32, "SystemParametersInfoForDpi")))
                              : nullptr;
  bool got = for_dpi && for_dpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, static_cast<UINT>(dpi));
  if (!got) {
    // Without the per-DPI call the font comes at the system DPI. The size without the last
    // field is the one every Windows version accepts.
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    got = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0) != FALSE;
    if (!got) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    metrics.lfMessageFont.lfHeight = scale(metrics.lfMessageFont.lfHeight, dpi, dpi_of(nullptr));
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

int text_width(HWND hwnd, const std::string& text) {
  HDC dc = GetDC(hwnd);
  if (!dc) return 0;
  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
  const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE extent = {};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  if (old) SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return static_cast<int>(extent.cx);
}

}  // namespace gui
