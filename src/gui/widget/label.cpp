#include "gui/widget/label.hpp"

#include "gui/base/font.hpp"

namespace gui {

void label::create() {
  wnd_base<event::base>::create();
  HBITMAP image = static_cast<initor::label&>(*init).image.value;
  if (image) set_image(image, true);
}

void label::set_image(HBITMAP bitmap, bool delete_old) {
  HANDLE old = reinterpret_cast<HANDLE>(SendMessageA(hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
  style.set(style.get() | SS_BITMAP | SS_CENTERIMAGE);
  SendMessageA(hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  if (delete_old && old) DeleteObject(old);
}

int label::fitting_width() { return text_width(hwnd, text.get()); }

std::shared_ptr<label> make_label(const std::string& text, long style_bits) {
  std::shared_ptr<label> w(new label);
  w->set_init(new initor::label(text, style_bits));
  return w;
}

}  // namespace gui
