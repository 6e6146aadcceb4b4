#pragma once
// A one-line text box.

#include <memory>
#include <string>

#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/widget_base.hpp"

namespace gui {

namespace initor {

// 100 by 22, framed; the text scrolls sideways past the box's end.
struct edit : base {
  edit() : read_only(this, false), password(this, false), password_char(this, 0) {
    add_style(WS_BORDER | ES_AUTOHSCROLL);
    size(100, 22);
  }
  field<bool, edit> read_only;
  field<bool, edit> password;
  // 0 keeps Windows' own character.
  field<char, edit> password_char;
};

}  // namespace initor

class edit : public widget_base<event::edit> {
 public:
  edit();

  void create() override;
  // Enter, once `on_return` has a handler: the box keeps the key, which dialog navigation would
  // give to the default button, and fires the signal.
  void dispatch(wnd_msg& m) override;
  std::string class_name() override { return "edit"; }

  property<bool> read_only;
  property<char> password_char;

 private:
  bool get_read_only();
  void set_read_only(const bool& on);
  char get_password_char();
  void set_password_char(const char& c);
};

std::shared_ptr<edit> make_edit();

}  // namespace gui
