#include "app/about.hpp"

#include <windows.h>

#include <utility>

#include "app/command_line.hpp"
#include "app/version.hpp"
#include "gui/base/dpi.hpp"

namespace {

// A system menu entry's id: below the system's own (0xF000 on), low four bits clear, since
// Windows keeps those for itself.
constexpr UINT about_command = 0x0010;

// The program's first icon (vexlets.rc), which Explorer shows for the file.
constexpr WORD program_icon = 1;

// The program's icon in the size `size_metric` has at `dpi`, drawn for it rather than scaled
// from another where the file holds that size.
HICON load_icon(int size_metric, int dpi) {
  const int side = gui::system_metric(size_metric, dpi);
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(program_icon), IMAGE_ICON,
                                       side, side, LR_DEFAULTCOLOR));
}

// Title bar and Alt+Tab (big), task bar and system menu (small); the icons they replace
// are the program's own and go.
void set_icons(HWND window, int dpi) {
  for (const auto& [kind, metric] : {std::pair<WPARAM, int>{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
    const LRESULT previous =
        SendMessageA(window, WM_SETICON, kind, reinterpret_cast<LPARAM>(load_icon(metric, dpi)));
    if (previous) DestroyIcon(reinterpret_cast<HICON>(previous));
  }
}

}  // namespace

std::string about_text() {
  return std::string("Vexlets ") + program_version +
         "\nA desktop client for the web archive of vexlets."
         "\n\nArchive: " +
         options_in_use.archive.base_url() + "\nLicence: MIT License";
}

void add_about(gui::window& w) {
  set_icons(w.hwnd, gui::dpi_of(w.hwnd));
  const HWND window = w.hwnd;
  w.on_dpi.add([window](int dpi) { set_icons(window, dpi); });

  // The wide form for the ellipsis, which no single ANSI code page has in the same place.
  HMENU system_menu = GetSystemMenu(w.hwnd, FALSE);
  AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(system_menu, MF_STRING, about_command, L"&About Vexlets\u2026");
  w.on_system_command.add([window](int command) {
    if (command != static_cast<int>(about_command)) return;
    const std::string text = about_text();
    // The box shows the program's own icon.
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = window;
    box.hInstance = GetModuleHandleA(nullptr);
    box.lpszText = text.c_str();
    box.lpszCaption = "About Vexlets";
    box.dwStyle = MB_OK | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEA(program_icon);
    MessageBoxIndirectA(&box);
  });
}
