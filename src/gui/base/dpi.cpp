#include "gui/base/dpi.hpp"

namespace gui {
namespace {

using dpi_for_window_fn = UINT(WINAPI*)(HWND);
using metrics_for_dpi_fn = int(WINAPI*)(int, UINT);

// The user32 function `name`, or null where this Windows lacks it.
template <typename F>
F user32_function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

// LOGPIXELSY of the window's device (the screen for a null window): the system DPI, which
// is every window's DPI where Windows knows no other.
int device_dpi(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  if (!dc) return standard_dpi;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? dpi : standard_dpi;
}

}  // namespace

int scale(int pixels, int dpi, int from_dpi) {
  if (from_dpi <= 0 || dpi == from_dpi) return pixels;
  return MulDiv(pixels, dpi, from_dpi);
}

int dpi_of(HWND hwnd) {
  static const dpi_for_window_fn for_window = user32_function<dpi_for_window_fn>("GetDpiForWindow");
  if (hwnd && for_window) {
    if (const UINT dpi = for_window(hwnd)) return static_cast<int>(dpi);
  }
  return device_dpi(hwnd);
}

int system_metric(int index, int dpi) {
  static const metrics_for_dpi_fn for_dpi = user32_function<metrics_for_dpi_fn>("GetSystemMetricsForDpi");
  if (for_dpi) return for_dpi(index, static_cast<UINT>(dpi));
  return scale(GetSystemMetrics(index), dpi, device_dpi(nullptr));
}

}  // namespace gui
