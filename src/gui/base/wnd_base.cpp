#include "gui/base/wnd_base.hpp"

#include "gui/base/assertion.hpp"
#include "gui/base/dpi.hpp"
#include "gui/base/initor.hpp"
#include "win32/unicode_text.hpp"

namespace gui {

HINSTANCE toolkit_module() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&toolkit_module), &module))
    return nullptr;
  return module;
}

namespace {

// A record's 96-DPI extent at `dpi`; CW_USEDEFAULT stays Windows' choice.
int extent_at(int extent, int dpi) { return extent == CW_USEDEFAULT ? extent : scale(extent, dpi); }

}  // namespace

void native_create(wnd32& w) {
  const std::shared_ptr<initor::base>& init = w.init;
  VEX_ASSERT(init && "no construction record");
  const initor::base& rec = *init;
  HWND parent = w.parent ? w.parent->hwnd : nullptr;
  // A child is shown at its parent's DPI; a top-level window at the system's until it exists.
  const int dpi = dpi_of(parent);
  const gui::size size = rec.size.value;
  const int width = extent_at(size.width, dpi), height = extent_at(size.height, dpi);
  const HWND hwnd =
      rec.unicode.value
          ? CreateWindowExW(rec.ex_style.value, win32::utf16(w.class_name()).c_str(),
                            win32::utf16(rec.text.value).c_str(), rec.style.value, rec.pos.value.x,
                            rec.pos.value.y, width, height, parent, nullptr, toolkit_module(), nullptr)
          : CreateWindowExA(rec.ex_style.value, w.class_name().c_str(), rec.text.value.c_str(), rec.style.value,
                            rec.pos.value.x, rec.pos.value.y, width, height, parent, nullptr,
                            toolkit_module(), nullptr);
  VEX_ASSERT(hwnd && "CreateWindowEx fail");
  w.hwnd = hwnd;
  w.subclass();
  // A top-level window that Windows put on a monitor of another DPI takes its size there.
  const int shown_at = dpi_of(hwnd);
  if (!parent && shown_at != dpi && size.width != CW_USEDEFAULT && size.height != CW_USEDEFAULT)
    SetWindowPos(hwnd, nullptr, 0, 0, scale(size.width, shown_at), scale(size.height, shown_at),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(w.hwnd);
}

}  // namespace gui
