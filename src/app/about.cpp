#include "app/about.hpp"

#include <windows.h>

#include "app/command_line.hpp"
#include "app/version.hpp"

namespace {

// A system menu entry's id: below the system's own (0xF000 on), low four bits clear, since
// Windows keeps those for itself.
constexpr UINT about_command = 0x0010;

// The program's first icon (vexlets.rc), which Explorer shows for the file.
constexpr WORD program_icon = 1;

HICON load_icon(int width_metric, int height_metric) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(program_icon), IMAGE_ICON,
                                       GetSystemMetrics(width_metric), GetSystemMetrics(height_metric),
                                       LR_DEFAULTCOLOR));
}

}  // namespace

std::string about_text() {
  return std::string("Vexlets ") + program_version +
         "\nA desktop client for the web archive of vexlets."
         "\n\nArchive: " +
         options_in_use.archive.base_url() + "\nLicence: MIT License";
}

void add_about(gui::window& w) {
  // Each size drawn for it rather than one scaled; the icons live as long as the process.
  SendMessageA(w.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(load_icon(SM_CXICON, SM_CYICON)));
  SendMessageA(w.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(load_icon(SM_CXSMICON, SM_CYSMICON)));

  // The wide form for the ellipsis, which no single ANSI code page has in the same place.
  HMENU system_menu = GetSystemMenu(w.hwnd, FALSE);
  AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(system_menu, MF_STRING, about_command, L"&About Vexlets\u2026");
  const HWND owner = w.hwnd;
  w.on_system_command.add([owner](int command) {
    if (command != static_cast<int>(about_command)) return;
    const std::string text = about_text();
    // The box shows the program's own icon.
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = owner;
    box.hInstance = GetModuleHandleA(nullptr);
    box.lpszText = text.c_str();
    box.lpszCaption = "About Vexlets";
    box.dwStyle = MB_OK | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEA(program_icon);
    MessageBoxIndirectA(&box);
  });
}
