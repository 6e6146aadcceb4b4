#include "gui/widget/button.hpp"

namespace gui {

std::shared_ptr<button> make_button(const std::string& text) {
  std::shared_ptr<button> w(new button);
  w->set_init(new initor::button(text));
  return w;
}

}  // namespace gui
