#pragma once
// A window object of the toolkit's own class, "gui_basic_widget", registered once per
// process during static initialisation.

#include <string>

#include "gui/base/wnd_base.hpp"

namespace gui {

// "gui_basic_widget"; referring to it links in the class registration.
std::string basic_class_name();

template <typename E>
class widget_base : public wnd_base<E> {
 public:
  std::string class_name() override { return basic_class_name(); }
};

}  // namespace gui
