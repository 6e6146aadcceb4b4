#include "gui/base/wnd_base.hpp"

#include "gui/base/assertion.hpp"
#include "gui/base/initor.hpp"

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
  const std::shared_ptr<initor::base>& init = w.init;
  VEX_ASSERT(init && "no construction record");
  const initor::base& rec = *init;
  HWND parent = w.parent ? w.parent->hwnd : nullptr;
  const HWND hwnd = CreateWindowExA(rec.ex_style.value, w.class_name().c_str(), rec.text.value.c_str(),
                                    rec.style.value, rec.pos.value.x, rec.pos.value.y,
                                    rec.size.value.width, rec.size.value.height, parent, nullptr,
                                    toolkit_module(), nullptr);
  VEX_ASSERT(hwnd && "CreateWindowEx fail");
  w.hwnd = hwnd;
  w.subclass();
  UpdateWindow(w.hwnd);
}

}  // namespace gui
