#pragma once
// Saves what a window shows as a PNG, for people to look at after a test run.

#include <windows.h>

#include <string>

namespace vex_test {

// Captures the window's client area from the screen and writes it to `path` as an 8-bit RGB
// PNG. Returns false when the capture or the file fails.
bool save_client_png(HWND hwnd, const std::string& path);

}  // namespace vex_test
