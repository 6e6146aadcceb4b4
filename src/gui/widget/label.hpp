#pragma once
// A static text or picture.

#include <windows.h>

#include <memory>
#include <string>

#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/widget_base.hpp"

namespace gui {

namespace initor {

struct label : base {
  label(const std::string& caption, long style_bits) : image(this, nullptr) {
    add_style(style_bits);
    text(caption);
  }
  // Shown instead of the text when not null; the label deletes it when replaced.
  field<HBITMAP, label> image;
};

}  // namespace initor

class label : public widget_base<event::base> {
 public:
  void create() override;
  std::string class_name() override { return "STATIC"; }

  // Shows `bitmap` centred; the bitmap it replaces is deleted when `delete_old` is set.
  void set_image(HBITMAP bitmap, bool delete_old);
  // The width at which its text shows whole on one line, in its font.
  int fitting_width();
};

std::shared_ptr<label> make_label(const std::string& text, long style_bits);

}  // namespace gui
