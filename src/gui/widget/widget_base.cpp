#include "gui/widget/widget_base.hpp"

#include <windows.h>

#include "gui/base/assertion.hpp"

namespace gui {
namespace {

constexpr char basic_class[] = "gui_basic_widget";

// The class procedure is the default one: the toolkit's behaviour reaches its windows only by
// subclassing them after creation.
bool register_basic_class() {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = toolkit_module();
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
  wc.lpszClassName = basic_class;
  const bool succ = RegisterClassA(&wc) != 0;
  VEX_ASSERT(succ && "RegisterClass");
  return succ;
}

const bool registered = register_basic_class();

}  // namespace

std::string basic_class_name() {
  (void)registered;
  return basic_class;
}

}  // namespace gui
