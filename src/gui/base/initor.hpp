#pragma once
// Construction records: a plain description of a native window to come, adjusted with
// chained setters and read only by `create`.
//
//   w->set_init(&(new gui::initor::window)->text("Vexlets").size(500, 300).resizable(true));

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "gui/base/geometry.hpp"

namespace gui {
namespace layout {
struct base;
}

namespace initor {

// A value and the record it belongs to; calling it with a new value stores it and returns
// the record, so that setters chain.
template <typename T, typename R>
struct field {
  explicit field(R* owner_, T value_ = T()) : value(std::move(value_)), owner(owner_) {}
  field(const field&) = delete;
  field& operator=(const field&) = delete;

  R& operator()(T v) {
    value = std::move(v);
    return *owner;
  }

  T value;
  R* owner;
};

template <typename R>
struct pos_field : field<gui::pos, R> {
  using field<gui::pos, R>::field;
  R& operator()(int x, int y) { return field<gui::pos, R>::operator()(gui::pos{x, y}); }
};

template <typename R>
struct size_field : field<gui::size, R> {
  using field<gui::size, R>::field;
  R& operator()(int width, int height) {
    return field<gui::size, R>::operator()(gui::size{width, height});
  }
};

// Takes a plain pointer to a newly made layout and owns it. The layout's type is complete
// where a layout is handed in; the record only keeps it.
template <typename R>
struct layout_field : field<std::shared_ptr<gui::layout::base>, R> {
  using field<std::shared_ptr<gui::layout::base>, R>::field;
  R& operator()(gui::layout::base* l) {
    this->value.reset(l);
    return *this->owner;
  }
};

constexpr long default_style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;

struct base : std::enable_shared_from_this<base> {
  base() = default;
  base(const base&) = delete;
  base& operator=(const base&) = delete;
  virtual ~base() = default;

  field<std::string, base> text{this};
  pos_field<base> pos{this, gui::pos{CW_USEDEFAULT, CW_USEDEFAULT}};
  // Pixels at 96 DPI (gui/base/dpi.hpp); the window gets them at the DPI it is shown at.
  size_field<base> size{this, gui::size{CW_USEDEFAULT, CW_USEDEFAULT}};
  field<long, base> style{this, default_style};
  field<long, base> ex_style{this, 0};
  layout_field<base> layout{this};
  // A native window of UTF-16 texts (made with CreateWindowExW): one that takes what a user
  // types in any script. Its window object's `text` is UTF-8 then.
  field<bool, base> unicode{this, false};

  base& add_style(long bits) {
    style.value |= bits;
    return *this;
  }
  base& remove_style(long bits) {
    style.value &= ~bits;
    return *this;
  }
  base& visible(bool on) { return on ? add_style(WS_VISIBLE) : remove_style(WS_VISIBLE); }
  base& resizable(bool on) { return on ? add_style(WS_THICKFRAME) : remove_style(WS_THICKFRAME); }
};

// A top-level window: a system menu and a minimize box, no WS_CHILD.
struct window : base {
  window() {
    add_style(WS_SYSMENU | WS_MINIMIZEBOX);
    remove_style(WS_CHILD);
  }
};

}  // namespace initor
}  // namespace gui
