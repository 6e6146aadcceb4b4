// The description's window items: one overload per control class, each a place for a window.

#include "gui/layout/eva.hpp"
#include "gui/widget/button.hpp"
#include "gui/widget/combo_ex.hpp"
#include "gui/widget/edit.hpp"
#include "gui/widget/label.hpp"
#include "gui/widget/list_view_ex.hpp"
#include "gui/widget/progress.hpp"

namespace gui {
namespace layout {

eva& eva::operator<<(const std::shared_ptr<button>& w) {
  add_window(w);
  return *this;
}
eva& eva::operator<<(const std::shared_ptr<combo_ex>& w) {
  add_window(w);
  return *this;
}
eva& eva::operator<<(const std::shared_ptr<edit>& w) {
  add_window(w);
  return *this;
}
eva& eva::operator<<(const std::shared_ptr<label>& w) {
  add_window(w);
  return *this;
}
eva& eva::operator<<(const std::shared_ptr<list_view_ex>& w) {
  add_window(w);
  return *this;
}
eva& eva::operator<<(const std::shared_ptr<progress>& w) {
  add_window(w);
  return *this;
}

}  // namespace layout
}  // namespace gui
