#pragma once
// Containers hold child windows, create them in the order added, lay them out, and pass a
// control's notification back to the control itself (gui/widget/reflection.hpp) so that it
// fires its own signal. The top-level window is one too: gui/widget/window.hpp.

#include <memory>
#include <string>
#include <vector>

#include "gui/base/initor.hpp"
#include "gui/base/wnd_base.hpp"
#include "gui/layout/eva.hpp"
#include "gui/widget/events.hpp"
#include "gui/widget/reflection.hpp"
#include "gui/widget/widget_base.hpp"

namespace gui {

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

}  // namespace gui
