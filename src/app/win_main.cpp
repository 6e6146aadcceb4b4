#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/main_window.hpp"
#include "app/widgets.hpp"
#include "gui/base/message_loop.hpp"
#include "net/tls_channel.hpp"

namespace {

// What a wrong option ends with, so that a script that started the program can tell.
constexpr int bad_option_exit = 2;

void show_options(const std::string& text, UINT icon) {
  MessageBoxA(nullptr, text.c_str(), "Vexlets", MB_OK | icon);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Read before any window or the state file: a wrong option changes nothing.
  try {
    options_in_use = parse_command_line(std::vector<std::string>(__argv + 1, __argv + __argc));
  } catch (const std::invalid_argument& e) {
    show_options(std::string(e.what()) + "\n\n" + command_line_usage(), MB_ICONERROR);
    return bad_option_exit;
  }
  if (options_in_use.help) {
    show_options(command_line_usage(), MB_ICONINFORMATION);
    return 0;
  }
  // While the window is built, so that the first refresh does not wait for it.
  if (options_in_use.archive.secure()) net::prepare_tls();
  build_main_window();
  gui::run_message_loop();
  // A refresh may still be running: stop it while the objects it uses still exist.
  refresh_controller.finish();
  return 0;
}
