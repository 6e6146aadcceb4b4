#include "gui/base/wnd_base.hpp"

#include "gui/widget/initor.hpp"
#include "gui/widget/mvc/assertion.hpp"

namespace gui {

HINSTANCE toolkit_module() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&toolkit_module), &module))
    return nullptr;
  return module;
}

void native_create(wnd32& w) {
  VEX_CHECK(w.init, "init && \"no construction record\"", "gui/base/wnd_base");
  const initor::base& rec = *w.init;
  HWND parent = w.parent ? w.parent->hwnd : nullptr;
  w.hwnd = CreateWindowExA(rec.ex_style.value, w.class_name().c_str(), rec.text.value.c_str(),
                           rec.style.value, rec.pos.value.x, rec.pos.value.y,
                           rec.size.value.width, rec.size.value.height, parent, nullptr,
                           toolkit_module(), nullptr);
  VEX_CHECK(w.hwnd, "hwnd && \"CreateWindowEx fail\"", "gui/base/wnd_base");
  w.subclass();
  UpdateWindow(w.hwnd);
}

}  // namespace gui
