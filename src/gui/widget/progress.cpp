#include "gui/widget/progress.hpp"

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "gui/widget/common_controls.hpp"

namespace gui {

using namespace std::placeholders;

progress::progress() {
  ensure_common_controls();
  min.get = std::bind(&progress::get_min, this);
  min.set = std::bind(&progress::set_min, this, _1);
  max.get = std::bind(&progress::get_max, this);
  max.set = std::bind(&progress::set_max, this, _1);
  value.get = std::bind(&progress::get_value, this);
  value.set = std::bind(&progress::set_value, this, _1);
  step.set = std::bind(&progress::set_step, this, _1);
  bar_color.set = std::bind(&progress::set_bar_color, this, _1);
  background_color.set = std::bind(&progress::set_background_color, this, _1);
}

void progress::set_range(int low, int high) {
  SendMessageA(hwnd, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void progress::step_it() { SendMessageA(hwnd, PBM_STEPIT, 0, 0); }

int progress::get_min() {
  PBRANGE range = {};
  SendMessageA(hwnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  return range.iLow;
}

int progress::get_max() {
  PBRANGE range = {};
  SendMessageA(hwnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  return range.iHigh;
}

void progress::set_min(const int& v) { set_range(v, get_max()); }

void progress::set_max(const int& v) { set_range(get_min(), v); }

int progress::get_value() { return static_cast<int>(SendMessageA(hwnd, PBM_GETPOS, 0, 0)); }

void progress::set_value(const int& v) { SendMessageA(hwnd, PBM_SETPOS, static_cast<WPARAM>(v), 0); }

void progress::set_step(const int& v) { SendMessageA(hwnd, PBM_SETSTEP, static_cast<WPARAM>(v), 0); }

void progress::set_bar_color(const int& c) {
  SendMessageA(hwnd, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(c));
}

void progress::set_background_color(const int& c) {
  SendMessageA(hwnd, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(c));
}

std::shared_ptr<progress> make_progress(initor::progress* rec) {
  std::shared_ptr<progress> w(new progress);
  w->set_init(rec);
  return w;
}

}  // namespace gui
