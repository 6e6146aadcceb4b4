#pragma once
// Event sets: the signals a window object fires, and the mapping from native messages to
// them. An event set never marks a message handled; its handlers do.

#include <cstdint>

#include "gui/base/geometry.hpp"
#include "gui/base/wnd_msg.hpp"
#include "gui/widget/mvc/signal.hpp"

namespace gui {
namespace event {

// The message a container posts back to a control for a notification code that one of the
// control's signals hears: WM_USER + the code for a command code (0 up to 0x0FFF, where the
// controls' WM_COMMAND codes lie), WM_USER + 0x1000 + its magnitude for a negative WM_NOTIFY
// code. Both stay inside the range private to the control's class; 0 for any other code,
// which is never posted.
std::uint32_t reflected_message(int code);

class base {
 public:
  virtual ~base() = default;
  virtual void dispatch(wnd_msg& m);
  // Whether a signal of this set fires for the notification code once the container posts it
  // back (as `reflected_message(code)`). The base set hears none.
  virtual bool hears(int /*code*/) const { return false; }

  signal<void()> on_create;
  signal<void(gui::pos)> on_move;
  signal<void(gui::size)> on_size;
  signal<void(bool)> on_activate;
  signal<void(wnd_msg&)> on_paint;
  signal<void(bool)> on_enable;
  signal<void(wnd_msg&)> on_close;
  signal<void()> on_quit;
  signal<void(bool)> on_show;
  signal<void(wnd_msg&)> on_moving;
  signal<void(wnd_msg&)> on_sizing;
  signal<void(wnd_msg&)> on_erase_background;
  signal<void(char)> on_char;
  signal<void(wnd_msg&)> on_mouse_move;
  signal<void(wnd_msg&)> on_left_down;
  signal<void(wnd_msg&)> on_left_up;
  signal<void(wnd_msg&)> on_right_down;
  signal<void(wnd_msg&)> on_right_up;
  signal<void()> on_double_click;
  signal<void(gui::pos)> on_context_menu;
  signal<void()> on_set_focus;
  signal<void()> on_kill_focus;
};

// A click arrives as BN_CLICKED reflected by the container: WM_USER + 0.
class button : public base {
 public:
  void dispatch(wnd_msg& m) override;
  bool hears(int code) const override;
  signal<void()> on_click;
};

// A choice arrives as CBN_SELCHANGE reflected by the container: WM_USER + 1.
class combo : public base {
 public:
  void dispatch(wnd_msg& m) override;
  bool hears(int code) const override;
  signal<void()> on_select;
};

// A change of the text arrives as EN_CHANGE reflected by the container: WM_USER + EN_CHANGE.
// Enter is the edit box's own key once `on_return` has a handler (gui/widget/edit.hpp).
class edit : public base {
 public:
  void dispatch(wnd_msg& m) override;
  bool hears(int code) const override;
  signal<void()> on_change;
  signal<void()> on_return;
};

// Enter on a row arrives as NM_RETURN reflected by the container: WM_USER + NM_RETURN.
class list : public base {
 public:
  void dispatch(wnd_msg& m) override;
  bool hears(int code) const override;
  signal<void()> on_return;
};

}  // namespace event
}  // namespace gui
