#include "gui/base/message_loop.hpp"

#include <map>

namespace gui {
namespace {

std::map<int, message_filter>& filters() {
  static std::map<int, message_filter> all;
  return all;
}

int next_filter_id = 0;

bool filtered(MSG& msg) {
  // A filter may remove itself or another one while it runs: step on by id, not by iterator.
  for (auto it = filters().begin(); it != filters().end();) {
    const int id = it->first;
    const message_filter filter = it->second;
    if (filter(msg)) return true;
    it = filters().upper_bound(id);
  }
  return false;
}

// Shift+F10 becomes WM_CONTEXTMENU in every default window procedure, the context-menu key
// not in Wine's. The key goes to no window procedure at all, so that no system turns it into
// a second menu; the focused window gets the keyboard form of the message, (-1, -1), on release.
bool context_menu_key(const MSG& msg) {
  if ((msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) || msg.wParam != VK_APPS) return false;
  if (msg.message == WM_KEYUP && msg.hwnd)
    SendMessageA(msg.hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(msg.hwnd), static_cast<LPARAM>(-1));
  return true;
}

bool dialog_key(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (!root || !(GetWindowLongA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) || !IsDialogMessageW(root, &msg))
    return false;
  // When Tab moves the focus in a window that is not a dialog, Wine's dialog keys take the
  // default frame from every push button; the window is told its default again (DM_SETDEFID),
  // as the dialog manager keeps it for dialogs.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
    const LRESULT id = SendMessageA(root, DM_GETDEFID, 0, 0);
    if (HIWORD(id) == DC_HASDEFID) SendMessageA(root, DM_SETDEFID, LOWORD(id), 0);
  }
  return true;
}

}  // namespace

int add_message_filter(message_filter filter) {
  const int id = next_filter_id++;
  filters()[id] = std::move(filter);
  return id;
}

void remove_message_filter(int id) { filters().erase(id); }

void run_message_loop() {
  MSG msg;
  // The wide forms: a character typed into a window of UTF-16 texts reaches it whole, and
  // every other window gets it in its code page as before. -1 keeps the loop running as
  // well: only WM_QUIT ends it.
  while (GetMessageW(&msg, nullptr, 0, 0) != 0) {
    // IsDialogMessageW translates and dispatches what it does not take itself.
    if (filtered(msg) || context_menu_key(msg) || dialog_key(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace gui
