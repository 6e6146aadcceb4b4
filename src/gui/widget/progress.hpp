#pragma once
// A smooth progress bar.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "gui/base/wnd_base.hpp"
#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"

namespace gui {

namespace initor {

// A smooth bar, 20 by 10.
struct progress : base {
  progress() {
    add_style(PBS_SMOOTH);
    size(20, 10);
  }
};

}  // namespace initor

class progress : public wnd_base<event::base> {
 public:
  progress();

  std::string class_name() override { return "msctls_progress32"; }

  // Both limits in one message.
  void set_range(int low, int high);
  // Advances the bar by its step.
  void step_it();

  property<int> min;
  property<int> max;
  property<int> value;
  write_only_property<int> step;
  write_only_property<int> bar_color;         // a COLORREF
  write_only_property<int> background_color;  // a COLORREF

 private:
  int get_min();
  void set_min(const int& v);
  int get_max();
  void set_max(const int& v);
  int get_value();
  void set_value(const int& v);
  void set_step(const int& v);
  void set_bar_color(const int& c);
  void set_background_color(const int& c);
};

// The bar takes ownership of `rec`.
std::shared_ptr<progress> make_progress(initor::progress* rec);

}  // namespace gui
