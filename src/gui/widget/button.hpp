#pragma once
// A push button; a click reaches `events.on_click` by reflection through its container.

#include <memory>
#include <string>

#include "gui/base/wnd_base.hpp"
#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"

namespace gui {

namespace initor {

// No button-type bits: a plain push button, 70 by 24.
struct button : base {
  explicit button(const std::string& caption) {
    text(caption);
    size(70, 24);
  }
};

}  // namespace initor

class button : public wnd_base<event::button> {
 public:
  std::string class_name() override { return "button"; }
};

std::shared_ptr<button> make_button(const std::string& text);

}  // namespace gui
