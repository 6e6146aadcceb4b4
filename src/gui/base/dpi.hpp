#pragma once
// Dots per inch: what a window is shown at, and the one conversion of pixel sizes between
// DPIs. Sizes written in the program (layout numbers, construction records, list columns)
// are pixels at 96 DPI; they reach the screen only through `scale`.
//
// The functions that answer per window or per DPI exist only on newer Windows (10, 1607 on);
// they are looked up at run time, and elsewhere the device's own DPI stands in for them.

#include <windows.h>

namespace gui {

// The DPI at which a 96-DPI size is its own size.
constexpr int standard_dpi = 96;

// `pixels` at `from_dpi` as pixels at `dpi`, rounded to the nearest.
int scale(int pixels, int dpi, int from_dpi = standard_dpi);

// The DPI `hwnd` is shown at; for a null window, the system's.
int dpi_of(HWND hwnd);

// GetSystemMetrics(`index`) for a window at `dpi`.
int system_metric(int index, int dpi);

}  // namespace gui
