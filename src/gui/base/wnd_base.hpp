#pragma once
// A window object with its event set: native creation and dispatch to the events.

#include "gui/base/wnd32.hpp"

namespace gui {

// Makes the native window from the object's construction record and installs the stub.
// Messages sent while CreateWindowExA runs reach only the class procedure. The record's size
// is in pixels at 96 DPI: the window gets it at the DPI it is shown at.
void native_create(wnd32& w);

// The module holding the toolkit's code, or 0.
HINSTANCE toolkit_module();

template <typename E>
class wnd_base : public wnd32 {
 public:
  ~wnd_base() { unsubclass(); }

  void create() override {
    native_create(*this);
    events.on_create.fire();
  }

  void dispatch(wnd_msg& m) override { events.dispatch(m); }

  bool hears_notification(int code) override { return events.hears(code); }

  E events;
};

}  // namespace gui
