#include <windows.h>

#include "app/main_window.hpp"
#include "app/widgets.hpp"
#include "gui/base/message_loop.hpp"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  build_main_window();
  gui::run_message_loop();
  // A refresh may still be running: stop it while the objects it uses still exist.
  refresh_controller.finish();
  return 0;
}
