#pragma once
// Containers hold child windows, create them in the order added, lay them out, and pass a
// control's notification back to the control itself so that it fires its own signal.
//
//   auto w = gui::make_window();
//   w->add(title_label, title_edit, list);
//   w->create();            // creates the children, then lays them out
//   gui::run_message_loop();

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "gui/base/wnd_base.hpp"
#include "gui/layout/eva.hpp"
#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/widget_base.hpp"

namespace gui {

// WM_COMMAND and WM_NOTIFY from one of `children`: offered to that child at once
// (`answer_notification`), which is how a control asking for data gets its answer; otherwise,
// when one of the child's signals hears the code, posted back to it as
// `event::reflected_message(code)` with the parameters unchanged; otherwise dropped. Either
// way the message is marked handled. WM_NOTIFYFORMAT from a child that wants the wide forms
// of notifications (`unicode_notifications`): NFR_UNICODE. Anything else: nothing.
void reflect(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children);

template <typename E = event::base>
class container : public wnd_base<E> {
 public:
  template <typename... C>
  void add(const C&... child) {
    (add_one(child), ...);
  }

  void create() override {
    layout = this->init->layout.value;
    wnd_base<E>::create();
    for (const auto& child : children) child->create();
    children_created();
    relayout();
  }

  void dispatch(wnd_msg& m) override {
    if (m.msg == WM_SIZE) relayout();  // children are in place before on_size runs
    reflect(m, children);
    if (!m.handled) this->events.dispatch(m);
  }

  void relayout() {
    if (layout) layout->apply(this->shared_from_this(), children);
  }

  std::vector<std::shared_ptr<wnd32>> children;
  std::shared_ptr<gui::layout::base> layout;

 protected:
  // Every child exists and none is laid out yet.
  virtual void children_created() {}

 private:
  void add_one(const std::shared_ptr<wnd32>& child) {
    children.push_back(child);
    child->parent = this->shared_from_this();
  }
};

class panel : public container<> {
 public:
  std::string class_name() override { return basic_class_name(); }
};

// The top-level window: its WM_DESTROY ends the message loop.
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
class window : public panel {
 public:
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

  // The window's DPI, when it is created and after every change: the children have the font
  // of that DPI and are laid out right after the handlers ran.
  signal<void(int)> on_dpi;
  // The DPI the window and its children are laid out for; 0 before it exists.
  int dpi = 0;

 private:
  void run_posted();
  void drop_posted();

  std::mutex posted_lock;
  std::deque<std::function<void()>> posted;
  // A wake-up message is on its way, or the window thread is looking for tasks by itself:
  // further tasks need no wake-up.
  bool wake_pending = false;
  bool closed = false;
  // The window thread's timer that looks for tasks is running. Window thread only.
  bool polling = false;

  void apply_default_button();
  void restore_focus();
  void children_created() override;
  // The font of `new_dpi` for every child, then `on_dpi`.
  void use_dpi(int new_dpi);
  void on_dpi_changed(const wnd_msg& m);

  // The children's font, made for `dpi`; deleted once replaced.
  HFONT font = nullptr;

  std::vector<ACCEL> accelerators;
  HACCEL accelerator_table = nullptr;
  int accelerator_filter = -1;
  std::shared_ptr<wnd32> default_button;
  // The control that had the focus when the window was last deactivated.
  HWND last_focus = nullptr;
};

std::shared_ptr<window> make_window();

}  // namespace gui
