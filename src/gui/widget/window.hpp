#pragma once
// The top-level window: a panel whose WM_DESTROY ends the message loop. It takes work that
// other threads hand it and commands that no control sent, follows its DPI and gives its
// controls a dialog's keys.
//
//   auto w = gui::make_window();
//   w->add(title_label, title_edit, list);
//   w->create();            // creates the children, then lays them out
//   gui::run_message_loop();
//
// Its parts, a file each: creation, commands, the end of the loop and posted work in
// window.cpp (the queue itself is gui/base/task_queue); the DPI in window_dpi.cpp; the keys
// (accelerators, default button, focus) in window_keyboard.cpp.
//
// DPI: its children draw with the system's message font at the window's DPI (given to each
// with WM_SETFONT once they are all created), and on WM_DPICHANGED (Windows moved it to a
// monitor of another DPI, or the user changed the scale) every child's size and the font
// follow the new DPI, the window takes the rectangle Windows suggests and is laid out again.
// Sizes that depend on texts are the application's: `on_dpi` tells it when to measure them.
//
// Keyboard: with WS_EX_CONTROLPARENT in its record's extended style the message loop gives
// it dialog navigation (gui/base/message_loop.hpp); it then keeps the focused control across
// deactivation, as a dialog does, and starts at its first tab stop.

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "gui/base/task_queue.hpp"
#include "gui/widget/container.hpp"

namespace gui {

class window : public panel {
 public:
  window();
  ~window();

  void create() override;
  void dispatch(wnd_msg& m) override;

  // Hands `f` to the thread that owns the native window without waiting for it: it runs
  // later, from the message loop, after everything posted before it. Only the first of a
  // stream of tasks posts a message; while more come the window thread looks for them every
  // few milliseconds. Before the window exists `f` runs at once; once the window is
  // destroyed `f` is dropped, and so is every task still queued then. Any thread.
  void post(std::function<void()> f);

  // The key `vk` with `modifiers` (0, or FSHIFT, FCONTROL and FALT combined) pressed anywhere
  // in the window raises `on_command` with `id` before the focused control sees the key.
  void add_accelerator(BYTE modifiers, WORD vk, WORD id);

  // The push button that Enter presses wherever the focus is, unless the focused control
  // keeps Enter for itself; it gets the default button's frame and the control id IDOK.
  void set_default_button(const std::shared_ptr<wnd32>& button);

  // WM_COMMAND that no control sent -> on_command(LOWORD(wParam)): an accelerator's id, or
  // IDCANCEL for Esc under dialog navigation.
  signal<void(int)> on_command;
  // WM_SYSCOMMAND -> on_system_command(wParam & 0xFFF0), the system menu's entry (the low
  // four bits are the system's own). The default procedure still runs: it carries out the
  // system's entries and ignores those the program added.
  signal<void(int)> on_system_command;

  // WM_TIMER of a timer that `start_timer` started -> on_timer(id)
  signal<void(int)> on_timer;
  // Raises `on_timer` with `id` (1 to 0x3c1) every `ms` milliseconds from the message loop,
  // until `stop_timer(id)` or the window goes; started again, it counts from then. False
  // before the window exists or when Windows has no timer to give. Window thread.
  bool start_timer(int id, unsigned ms);
  void stop_timer(int id);

  // WM_ENDSESSION when the session ends (Windows logs off or shuts down, after every program
  // agreed through WM_QUERYENDSESSION, which the default procedure answers) ->
  // on_end_session(m). The process may be ended as soon as the handlers return; the window
  // gets no WM_CLOSE.
  signal<void(wnd_msg&)> on_end_session;

  // The window's DPI, when it is created and after every change: the children have the font
  // of that DPI and are laid out right after the handlers ran.
  signal<void(int)> on_dpi;
  // The DPI the window and its children are laid out for; 0 before it exists.
  int dpi = 0;

 private:
  // -- posted work (window.cpp) --
  task_queue tasks;

  // -- DPI (window_dpi.cpp) --
  void children_created() override;
  // The font of `new_dpi` for every child, then `on_dpi`.
  void use_dpi(int new_dpi);
  void on_dpi_changed(const wnd_msg& m);
  // The children's font, made for `dpi`; deleted once replaced.
  HFONT font = nullptr;

  // -- keys (window_keyboard.cpp) --
  // DM_GETDEFID, DM_SETDEFID and WM_ACTIVATE: true when the message needs nothing more.
  bool dialog_message(wnd_msg& m);
  void apply_default_button();
  void restore_focus();
  std::vector<ACCEL> accelerators;
  HACCEL accelerator_table = nullptr;
  int accelerator_filter = -1;
  std::shared_ptr<wnd32> default_button;
  // The control that had the focus when the window was last deactivated.
  HWND last_focus = nullptr;
};

std::shared_ptr<window> make_window();

}  // namespace gui
