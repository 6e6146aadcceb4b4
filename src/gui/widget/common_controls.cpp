#include "gui/widget/common_controls.hpp"

#include <windows.h>
#include <commctrl.h>

namespace gui {

void ensure_common_controls() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS;
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)registered;
}

}  // namespace gui
