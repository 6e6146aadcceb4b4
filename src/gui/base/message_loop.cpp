#include "gui/base/message_loop.hpp"

#include <windows.h>

namespace gui {

void run_message_loop() {
  MSG msg;
  // -1 keeps the loop running as well: only WM_QUIT ends it.
  while (GetMessageA(&msg, nullptr, 0, 0) != 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace gui
